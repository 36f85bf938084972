"""Reads the runs bench/measure.sh records and prints medians and ratios;
imported by the reports of limit_bench.sh and fullsize_bench.sh."""
import os, re, statistics

WALL, MAXRSS, TREEPSS, CPU = range(4)


class Runs:
    def __init__(self, out):
        self.out = out

    def of(self, label):
        """Medians of every column, and the wall times of each run."""
        path = os.path.join(self.out, label + ".runs")
        if not os.path.exists(path):
            return None
        rows = [[float(x) for x in line.split()] for line in open(path)]
        return [statistics.median(col) for col in zip(*rows)], [r[0] for r in rows]

    def table(self, labels):
        print(f"{'':24} {'wall s':>7}  {'runs':24} {'CPU s':>7}  {'max RSS %M':>11} {'tree Pss sum':>13}")
        for label in labels:
            r = self.of(label)
            if r is None:
                continue
            (t, m, s, c), ts = r
            runs = " ".join("%.2f" % x for x in ts)
            print(f"{label:24} {t:7.2f}  {runs:24} {c:7.2f}  {int(m):8d} KiB {int(s):9d} KiB")

    def ratio(self, a, b, col, goal, what):
        ra, rb = self.of(a), self.of(b)
        if ra and rb and rb[0][col] > 0:
            show(ra[0][col] / rb[0][col], goal, f"{what} ({a} / {b})")

    def limit_numbers(self, label):
        """What the limit program printed for LABEL: the medians of its load
        and scan seconds over the runs, the counts of the last run."""
        path = os.path.join(self.out, label + ".lines")
        if not os.path.exists(path):
            return None
        pattern = r"files (\d+) found (\d+) errors (\d+) load ([\d.]+) scan ([\d.]+)"
        runs = [m.groups() for m in map(lambda line: re.match(pattern, line), open(path)) if m]
        if not runs:
            return None
        last = runs[-1]
        return {"files": int(last[0]), "found": int(last[1]), "errors": int(last[2]),
                "load": statistics.median(float(r[3]) for r in runs),
                "scan": statistics.median(float(r[4]) for r in runs)}

    def rows(self, label):
        """Findings quillet-scan printed: its rows of four tab-separated fields."""
        path = os.path.join(self.out, label + ".out")
        if not os.path.exists(path):
            return None
        return sum(1 for line in open(path, errors="replace") if len(line.rstrip("\n").split("\t")) == 4)

    def found_lines(self, label):
        path = os.path.join(self.out, label + ".out")
        if not os.path.exists(path):
            return None
        return sum(1 for line in open(path, errors="replace") if line.rstrip("\n").endswith(" FOUND"))


def show(x, goal, what, unit="x"):
    verdict = (f"(goal <= {goal}{unit}) {'ok' if x <= goal else 'OVER'}") if goal else "(no goal)"
    print(f"{what:78} {x:6.3f}{unit}  {verdict}")
