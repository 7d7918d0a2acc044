#!/usr/bin/env bash
# Runs benchmark.lua unattended and puts its results into the README's
# Benchmark section (the table between the benchmark-table markers) and
# docs/benchmark.png, with the machine it ran on. The program runs headless
# (no display needed, nothing waits for a click); BENCH_XVFB=1 runs it in a
# window under Xvfb instead, in batch mode.
#
#   scripts/benchmark-report.sh              # 257 map, the benchmark's defaults
#   BENCH_SIZE=129 BENCH_FRAMES=100 scripts/benchmark-report.sh
#   BENCH_QUICK=1 scripts/benchmark-report.sh   # the first-look preset
#
# BENCH_QUICK, BENCH_SIZE, BENCH_FRAMES, BENCH_ROUNDS, BENCH_ERROR_EVERY,
# BENCH_SEGMENT and BENCH_WARM_UP from the environment are handed to the
# benchmark. Progress lines (with the time left) come on standard output. The build
# folder is `build` (BUILD_DIR overrides it); the program and its scene are
# built first. The run's files are kept in <build>/benchmark-report/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
out="$root/$build/benchmark-report"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target morvista scene_data
mkdir -p "$out"
rm -f "$out"/benchmark*

# The machine, as the run found it.
cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo 2>/dev/null || true)
machine="$(nproc) cores${cpu:+ ($cpu)}, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start, $(uname -sr)"

settings=""
for name in BENCH_QUICK BENCH_SIZE BENCH_FRAMES BENCH_ROUNDS BENCH_ERROR_EVERY BENCH_SEGMENT BENCH_WARM_UP; do
  value=${!name:-}
  if [ -n "$value" ]; then
    case "$value" in *[!0-9]*) echo "$name must be a whole number, not '$value'" >&2; exit 2;; esac
    settings+="$name = $value"$'\n'
  fi
done
cat > "$out/run.lua" <<LUA
${settings}BENCH_CSV = "$out/benchmark.csv"
BENCH_MARKDOWN = "$out/benchmark.md"
dofile("$root/$build/benchmark.lua")
LUA

if [ "${BENCH_XVFB:-0}" = 1 ]; then
  surface="Xvfb"
  run=(xvfb-run -a -s "-screen 0 1280x1024x24" "$build/morvista" --batch "$out/run.lua")
else
  surface="headless (EGL surfaceless)"
  run=("$build/morvista" --headless "$out/run.lua")
fi
# The progress lines are shown as they come; everything is kept.
"${run[@]}" > >(tee "$out/console.txt" | grep --line-buffered '^benchmark: round') 2> "$out/errors.txt" || {
  echo "the benchmark failed; its output is in $out/console.txt and $out/errors.txt" >&2
  tail -20 "$out/console.txt" "$out/errors.txt" >&2
  exit 1
}
for file in benchmark.csv benchmark-frames.csv benchmark.png benchmark.md; do
  [ -s "$out/$file" ] || { echo "the benchmark wrote no $file (see $out/console.txt)" >&2; exit 1; }
done

cp "$out/benchmark.png" docs/benchmark.png
{
  echo "Machine: $machine; $surface."
  echo
  cat "$out/benchmark.md"
} > "$out/readme-table.md"

# Replace what lies between the markers.
awk -v table="$out/readme-table.md" '
  /<!-- benchmark-table:start -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
  /<!-- benchmark-table:end -->/ { skip = 0 }
  !skip { print }
' README.md > "$out/README.md"
grep -q '<!-- benchmark-table:end -->' "$out/README.md" || { echo "README.md has no benchmark-table markers" >&2; exit 1; }
cp "$out/README.md" README.md
echo "README.md and docs/benchmark.png updated from $out"
