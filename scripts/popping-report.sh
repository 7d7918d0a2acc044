#!/usr/bin/env bash
# Runs data/popping.lua under a virtual display (the benchmark's walk,
# popping measured after every frame: brute force, geomipmapping without and
# with geomorphing, ROAM, at one tolerance) and prints its results as a
# Markdown table with the machine, renderer and date, ready for the README.
#
#   scripts/popping-report.sh                       # 257 map, 100 frames, 4 px
#   POP_SIZE=1025 POP_FRAMES=300 scripts/popping-report.sh
#
# POP_SIZE, POP_FRAMES, POP_TOLERANCE, POP_ERROR_EVERY and POP_ONLY (one
# terrain keyword) from the environment are handed to the script. The build folder is `build`
# (BUILD_DIR overrides it). The run's console is kept in
# <build>/popping-report/console.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
out="$root/$build/popping-report"
cmake --build "$build" --target morvista scene_data >/dev/null
mkdir -p "$out"

settings=""
if [ -n "${POP_ONLY:-}" ]; then
  case "$POP_ONLY" in *[!a-z]*) echo "POP_ONLY must be a terrain keyword, not '$POP_ONLY'" >&2; exit 2;; esac
  settings+="POP_ONLY = \"$POP_ONLY\""$'\n'
fi
for name in POP_SIZE POP_FRAMES POP_TOLERANCE POP_ERROR_EVERY; do
  value=${!name:-}
  if [ -n "$value" ]; then
    case "$value" in *[!0-9.]*) echo "$name must be a number, not '$value'" >&2; exit 2;; esac
    settings+="$name = $value"$'\n'
  fi
done
printf '%sdofile("%s")\n' "$settings" "$root/$build/popping.lua" > "$out/run.lua"
cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo 2>/dev/null || true)
machine="$(nproc) cores${cpu:+ ($cpu)}, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

xvfb-run -a -s "-screen 0 1280x1024x24" "$build/morvista" "$out/run.lua" > "$out/console.txt" 2>&1 || {
  echo "the popping walk failed; its output is in $out/console.txt" >&2
  tail -20 "$out/console.txt" >&2
  exit 1
}
header=$(grep -m1 '^popping walk ' "$out/console.txt" || true)
[ -n "$header" ] || { echo "no popping walk in $out/console.txt" >&2; exit 1; }
echo "${header#popping walk }; machine: $machine; Xvfb."
echo
echo "| Terrain | Tolerance (px) | Geomorphing | Popping: per-frame max, p99 (px) | Popping p95, median frame (px) | Popping max (px) | Geometric error p95, median view (px) | Geometric error max (px) | ms per frame (median) | Polygons (median) |"
echo "|---|---|---|---|---|---|---|---|---|---|"
python3 - "$out/console.txt" <<'PY'
import re, sys
pattern = re.compile(r"^popping (.*) tolerance ([0-9.]+) geomorphing (\w+): pop max p99 ([^,]+), pop p95 median ([^,]+), "
                     r"pop max ([^,]+), error p95 median ([^,]+), error max ([^,]+), ms median ([^,]+), polygons median (\d+)")
for line in open(sys.argv[1]):
    m = pattern.match(line.strip())
    if m:
        tolerance = "-" if m.group(1) == "brute force" else m.group(2)
        print("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % ((m.group(1), tolerance) + m.groups()[2:]))
PY
