#!/usr/bin/env bash
# Runs build/TerrainFidelityBench (the benchmark walk on the 257 and 1025
# maps at 1024 x 768, geomipmapping and ROAM at tolerances 0, 1, 2 and 4 px,
# brute force as the reference) and prints its results as a Markdown table
# with the machine, renderer and date, ready for the README. Given a file,
# formats that earlier output of the bench instead of running it again.
set -euo pipefail
cd "$(dirname "$0")/../build"
raw=$(mktemp)
trap 'rm -f "$raw"' EXIT
if [ $# -gt 0 ]; then cp "$1" "$raw"; else ./TerrainFidelityBench >"$raw" 2>&1; fi

renderer=$( (glxinfo -B 2>/dev/null || true) | sed -n "s/^OpenGL renderer string: //p" | head -1)
[ -n "$renderer" ] || renderer="Mesa llvmpipe (offscreen EGL)"
when=$(head -1 "$raw" | grep -E '^[0-9]{4}-' || date -u '+%Y-%m-%dT%H:%M')
load=$(grep -m1 '^Load Average' "$raw" | sed 's/^Load Average: //')
echo "Measured ${when%%+*} UTC with \`build/TerrainFidelityBench\` on $(nproc) cores ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)), load average $load at the start; renderer $renderer; 1024 x 768."
echo
echo "| Map | Algorithm | Tolerance (px) | ms per frame (median) | Triangles (median) | Geometric error p95 (px, median of views) | p95, worst view (px) | Geometric error max (px) | Pixels differing (median) | PSNR (dB, median) |"
echo "|---|---|---|---|---|---|---|---|---|---|"
python3 - "$raw" <<'PY'
import re, sys
names = {"600": "brute force", "601": "geomipmapping", "603": "ROAM 2.0", "604": "CDLOD", "605": "geometry clipmaps"}
def num(text):
    m = re.match(r"([-0-9.e+]+|inf)([kMmu]?)$", text)
    if not m: return text
    if m.group(1) == "inf": return float("inf")
    scale = {"": 1, "k": 1e3, "M": 1e6, "m": 1e-3, "u": 1e-6}[m.group(2)]
    return float(m.group(1)) * scale
for line in open(sys.argv[1]):
    m = re.match(r"BM_TerrainFidelity/map:(\d+)/algorithm:(\d+)/tolerance:(\d+)/settle:(\d+)", line)
    if not m: continue
    fields = dict(re.findall(r"(\w+)=(\S+)", line))
    v = {k: num(x) for k, x in fields.items()}
    tol = "-" if m.group(2) == "600" else m.group(3)
    psnr = "inf" if v["psnrDb"] == float("inf") else "%.1f" % v["psnrDb"]
    name = names.get(m.group(2), m.group(2))
    if m.group(4) != "0": name += ", at rest (%s frames a view)" % m.group(4)
    print("| %s | %s | %s | %.1f | %d | %.2f | %.2f | %.2f | %.2f %% | %s |" % (
        m.group(1), name, tol, v["ms"], round(v["triangles"]),
        v["p95px"], v["p95WorstPx"], v["maxPx"], 100 * v["share"], psnr))
PY
