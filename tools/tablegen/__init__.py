"""Generator of the binary data tables (data_space.bin, data_wyckoff.bin) and symmetry.dat.

Modules:
  ratmat    exact rational matrices (row-major tuples of Fractions)
  pointops  the 72 point operations, their products, keys and the 32 point groups
  settings  Bravais types, primitive bases and the changes of setting of the 230 groups
  wyckoff   Wyckoff positions and point-group element lists (separate owner)
"""
