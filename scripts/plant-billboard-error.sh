#!/bin/sh
# plant-billboard-error.sh -- how far the billboard plant schemes are from full
# models on the benchmark walk.
#
# Runs the viewer under Xvfb on the 257 map with brute-force terrain (splatted
# and lit, identical under every scheme) and the sky off, takes a screenshot
# at each of eight views of the circle benchmark.lua walks, once with full
# models (scheme 1) and once each with the mixed and smooth schemes, and
# counts with ImageMagick the pixels that differ from the full-model shot by
# more than 3.2 % (about 8 of 255) in a channel. Prints the share per view and
# the median per scheme.
#
#   scripts/plant-billboard-error.sh [build folder] [output folder]
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/plant-billboard-error}
mkdir -p "$out"
views=8
for scheme in brute mix smooth; do
  cat > "$out/$scheme.lua" <<LUA
setWindowMode()
setScreenSize(1024, 768)
setHMSize(257)
createWindow("M")
lockCamera()
hideMenus()
turnSkyOff()
setTerrainAlgorithm("brute")
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()
setPlantAlgorithm("$scheme")
centre = 128
radius = 256 * 0.3
for i = 0, $views - 1 do
  local angle = 360 * i / $views
  for f = 1, 6 do
    setCameraAutoHeight(centre + radius * cos(angle), centre + radius * sin(angle), angle + 180, 10)
    renderScene()
  end
  takeScreenShot("$out/$scheme" .. format("%d", i) .. ".tga")
  for f = 1, 3 do renderScene() end
end
LUA
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/morvista" "$out/$scheme.lua" > "$out/$scheme.log" 2>&1
  i=0
  while [ $i -lt $views ]; do
    convert "$out/$scheme$i.tga" -auto-orient -alpha off "$out/$scheme$i.png"
    i=$((i + 1))
  done
done
for scheme in mix smooth; do
  shares=""
  i=0
  while [ $i -lt $views ]; do
    n=$(compare -metric AE -fuzz 3.2% "$out/brute$i.png" "$out/$scheme$i.png" null: 2>&1 || true)
    share=$(echo "$n" | awk '{ printf "%.4f", $1 / (1024 * 768) }')
    echo "$scheme view $i: $share"
    shares="$shares $share"
    i=$((i + 1))
  done
  echo "$shares" | tr ' ' '\n' | grep . | sort -n | awk -v s="$scheme" '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%s median share of differing pixels: %.4f\n", s, m }'
done
