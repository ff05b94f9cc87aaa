#!/usr/bin/python3
"""Independent check, with spglib, of crystals that the library builds from Wyckoff positions.

Usage: library_spglib_check.py DRIVER DATA_DIR [STRUCTURES_PER_GROUP]

DRIVER is the test program `wyckoff_structures`. It writes, for every space group, crystals with
one atom on each Wyckoff position (parameters given in the setting "cinter", species = index of
the position) and a second atom on the general position (species 100 + its index). For each
crystal spglib must find the same space group. spglib reports Wyckoff letters in its own
standardized frame, which may differ from "cinter" by an element of the group's normalizer (a
shift of origin that swaps, say, positions a and b of Fd-3m); every atom is therefore carried
into that frame and identified there by the library (the driver's identify mode), and spglib's
letter must equal the library's. spglib is asked for the standard setting that "cinter" uses:
origin choice 2 and rhombohedral axes where a group has such a choice.

Exits 0 when every crystal agrees, 1 otherwise, after a short summary.
"""
import subprocess
import sys

import numpy as np
import spglib

LETTERS = "abcdefghijklmnopqrstuvwxyzA"


def read_structures(text):
    structure = None
    for line in text.splitlines():
        words = line.split()
        if not words:
            continue
        if words[0] == "structure":
            structure = {"group": int(words[1]), "index": int(words[2]), "atoms": []}
        elif words[0] == "lattice":
            structure["lattice"] = np.array([float(v) for v in words[1:10]]).reshape(3, 3)
        elif words[0] == "atom":
            structure["atoms"].append((int(words[1]), [float(v) for v in words[2:5]]))
        elif words[0] == "end":
            yield structure
            structure = None
        else:
            raise ValueError("unexpected line: " + line)


def field(dataset, name):
    return getattr(dataset, name) if hasattr(dataset, name) else dataset[name]


def hall_numbers():
    """Hall number of the setting "cinter" stands for: origin choice 2 or rhombohedral axes where
    the group has the choice, else spglib's first (standard) setting of the group."""
    hall = {}
    for h in range(1, 531):
        t = spglib.get_spacegroup_type(h)
        number, choice = field(t, "number"), field(t, "choice")
        if number not in hall or choice in ("2", "R"):
            hall[number] = h
    return hall


def letter(species):
    return LETTERS[species % 100 - 1]


def main():
    driver, data_dir = sys.argv[1], sys.argv[2]
    per_group = sys.argv[3] if len(sys.argv) > 3 else "2"
    made = subprocess.run([driver, data_dir, "structures", per_group], capture_output=True,
                          text=True, check=True)
    structures = list(read_structures(made.stdout))
    hall = hall_numbers()

    faults = {}
    queries = []  # (structure number, atom, group, coordinates in spglib's frame)
    datasets = []
    for n, s in enumerate(structures):
        positions = np.array([xyz for _, xyz in s["atoms"]])
        numbers = [w for w, _ in s["atoms"]]
        dataset = spglib.get_symmetry_dataset((s["lattice"], positions, numbers), symprec=1e-5,
                                              hall_number=hall[s["group"]])
        datasets.append(dataset)
        if dataset is None:
            faults[n] = ["spglib found no symmetry"]
            continue
        if field(dataset, "number") != s["group"]:
            faults[n] = ["spglib finds group %d" % field(dataset, "number")]
            continue
        p = np.array(field(dataset, "transformation_matrix"))
        shift = np.array(field(dataset, "origin_shift"))
        for i, xyz in enumerate(positions):
            queries.append((n, i, s["group"], p @ xyz + shift))

    text = "".join("%d %.17g %.17g %.17g\n" % (g, *x) for _, _, g, x in queries)
    found = subprocess.run([driver, data_dir, "identify"], input=text, capture_output=True,
                           text=True, check=True).stdout.split()
    if len(found) != len(queries):
        print("identify answered %d of %d points" % (len(found), len(queries)))
        return 1

    direct = 0
    for n, s in enumerate(structures):
        if n in faults:
            continue
        spg = field(datasets[n], "wyckoffs")
        if all(letter(w) == spg[i] for i, (w, _) in enumerate(s["atoms"])):
            direct += 1
    for (n, i, _, _), w in zip(queries, found):
        spg = field(datasets[n], "wyckoffs")[i]
        mine = LETTERS[int(w) - 1]
        if spg != mine:
            species = structures[n]["atoms"][i][0]
            faults.setdefault(n, []).append(
                "atom %d (built on %s): spglib %s, library %s" % (i + 1, letter(species), spg, mine))

    for n in sorted(faults):
        s = structures[n]
        shown = sorted(set(faults[n]), key=faults[n].index)[:6]
        print("group %d structure %d: %s" % (s["group"], s["index"], "; ".join(shown)))
    groups = {s["group"] for s in structures}
    atoms = sum(len(s["atoms"]) for s in structures)
    print("spglib check: %d structures, %d groups, %d atoms, %d disagree, %d agree in \"cinter\" "
          "itself" % (len(structures), len(groups), atoms, len(faults), direct))
    if len(groups) != 230:
        print("not every space group is represented")
        return 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
