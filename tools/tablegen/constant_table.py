"""The constant table of the mode-analysis tables (const.dat): the values that the integer
arrays name by index, each stored once with its negative; index 1 holds 0, indices 2k and
2k + 1 hold v and -v, and the values that int8 arrays name come first (indices up to 127)."""


def fail(msg):
    raise SystemExit("make_tables (modes): " + msg)


class Constants:
    """The constant table: values registered as int8-readable ('small') or not."""

    def __init__(self):
        self.small, self.large = set(), set()
        self.index = None

    @staticmethod
    def key(x):
        v = round(float(x), 9)
        return 0.0 if v == 0 else abs(v)

    def need(self, x, small=False):
        (self.small if small else self.large).add(self.key(x))

    def finish(self):
        ordered = sorted(v for v in self.small if v)
        ordered += sorted(v for v in self.large - self.small if v)
        self.values = ordered
        self.index = {0.0: 1}
        for k, v in enumerate(ordered, start=1):
            self.index[v] = 2 * k
        n_small = len([v for v in self.small if v])
        if 2 * n_small + 1 > 127:
            fail("constant table: %d int8-readable values need indices above 127" % n_small)
        if 2 * len(ordered) + 1 > 600:
            fail("constant table: %d entries, at most 600" % (2 * len(ordered) + 1))
        allv = sorted([0.0] + ordered + [-v for v in ordered])
        for a, b in zip(allv, allv[1:]):
            if b - a <= 0.002:
                fail("constant table: values %r and %r closer than 0.002" % (a, b))

    def __call__(self, x):
        v = round(float(x), 9)
        if v == 0:
            return 1
        i = self.index[abs(v)]
        return i if v > 0 else i + 1

    def text(self):
        lines = ["1 0"]
        for k, v in enumerate(self.values, start=1):
            lines.append("%d %.9g" % (2 * k, v))
            if k < len(self.values):
                lines.append("%d %.9g" % (2 * k + 1, -v))
        return "\n".join(lines) + "\n"

    @property
    def count(self):
        return 2 * len(self.values) + 1
