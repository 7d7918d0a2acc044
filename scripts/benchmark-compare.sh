#!/usr/bin/env bash
# Compares the median frame times of two benchmark runs, configuration by
# configuration, to show how repeatable the benchmark is on a machine:
#
#   scripts/benchmark-compare.sh first/benchmark.csv second/benchmark.csv
#
# Prints, as Markdown, the two runs' records (date, program, renderer), the
# largest and the median difference of ms_median between the runs
# (|b / a - 1|), how many configurations differ by more than 5 %, and the
# five that differ most. Configurations are matched by terrain, scheme and
# tolerance; one found in a single run is listed as unmatched.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 first.csv second.csv" >&2
  exit 2
fi
for file in "$1" "$2"; do
  [ -r "$file" ] || { echo "$file: cannot be read" >&2; exit 1; }
done
python3 - "$1" "$2" <<'PY'
import csv, statistics, sys

def load(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    if not rows or "ms_median" not in rows[0]:
        sys.exit("%s: not a benchmark.csv (no ms_median column)" % path)
    return rows

def key(row):
    return (row["terrain"], row["scheme"], row["tolerance_px"])

first, second = load(sys.argv[1]), load(sys.argv[2])
b = {key(r): r for r in second}
pairs, unmatched = [], []
for r in first:
    other = b.pop(key(r), None)
    if other is None:
        unmatched.append(key(r))
        continue
    x, y = float(r["ms_median"]), float(other["ms_median"])
    pairs.append((abs(y / x - 1.0) if x > 0 else float("inf"), key(r), x, y))
unmatched += list(b)
if not pairs:
    sys.exit("no configuration is in both runs")

for label, rows in (("First run", first), ("Second run", second)):
    r = rows[0]
    print("%s: %s, program %s, %s, viewport %s, %s frames x %s rounds." % (
        label, r.get("date", "?"), r.get("program_version", "?"), r.get("gl_renderer", "?"),
        r.get("viewport", "?"), r.get("frames", "?"), r.get("rounds", "?")))
print()
differences = [p[0] for p in pairs]
over = sum(1 for d in differences if d > 0.05)
print("Median frame time, second run against the first, over %d configurations: largest difference %.1f %%, "
      "median %.1f %%; %d above 5 %%." % (len(pairs), 100 * max(differences),
                                          100 * statistics.median(differences), over))
print()
print("| Terrain | Plant scheme | Tolerance (px) | first (ms) | second (ms) | difference |")
print("|---|---|---|---|---|---|")
for d, (terrain, scheme, tolerance), x, y in sorted(pairs, reverse=True)[:5]:
    print("| %s | %s | %s | %.2f | %.2f | %.1f %% |" % (terrain, scheme, tolerance or "-", x, y, 100 * d))
if unmatched:
    print()
    print("Unmatched: " + "; ".join(", ".join(k) for k in unmatched))
PY
