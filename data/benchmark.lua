-- benchmark.lua: compares the terrain algorithms and plant schemes.
--
--   morvista benchmark.lua
--
-- For every terrain algorithm and every plant scheme the camera walks the
-- same circle over the map while the program measures the average frame
-- time; the scene's polygon count is averaged over the same frames. Each
-- configuration gives one CSV row (algorithm, scheme, map size, average
-- milliseconds per frame, polygons per frame); the table is printed at the
-- end and the program ends.
--
-- Settings, read from globals when a script set them before this one ran
-- (write a small script that sets them and then calls dofile with the full
-- path of this file):
--   BENCH_SIZE    heightmap size: 129, 257, 513 or 1025 (default 257)
--   BENCH_FRAMES  frames measured per configuration (default 300)
--   BENCH_CSV     output file (default "benchmark.csv" beside the program)

size = BENCH_SIZE or 257
frames = BENCH_FRAMES or 300
csvName = BENCH_CSV or "benchmark.csv"
warmUpFrames = 30
if size ~= 129 and size ~= 257 and size ~= 513 and size ~= 1025 then
  print(format("BENCH_SIZE %s is not a map size (129, 257, 513, 1025): using 257", tostring(size)))
  size = 257
end

-- What setTerrainAlgorithm / setPlantAlgorithm are given, and the name shown.
terrains = { {"brute", "brute force"}, {"geomipmapping", "geomipmapping"}, {"roam", "ROAM 2.0"} }
schemes = { {"brute", "full models"}, {"xbill", "crossed billboards"}, {"bill", "billboards"},
            {"mix", "mixed by distance"}, {"smooth", "smooth transition"} }

setWindowMode()
setScreenSize(1024, 768)
setHMSize(size)
createWindow("Morvista benchmark")
lockCamera()                -- mouse and keys leave the camera alone
-- Full view: without the menus and the status bar no window updates come
-- between the frames, so every renderScene() below draws one.
hideMenus()
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()
setFrameSamples(frames)

-- Step i of the walk: once round a circle about the middle of the map,
-- looking along the way and a little down.
centre = (size - 1) / 2
radius = (size - 1) * 0.3
function placeCamera(i)
  local angle = 360 * i / frames
  setCameraAutoHeight(centre + radius * cos(angle), centre + radius * sin(angle), angle + 180, 10)
end

-- Every pair of terrain algorithm and plant scheme, in table order.
configurations = {}
for t = 1, getn(terrains) do
  for s = 1, getn(schemes) do tinsert(configurations, { terrains[t], schemes[s] }) end
end

remove(csvName)             -- writeToFile appends: start a fresh file
writeToFile(csvName, "algorithm,scheme,size,average_ms,polygons\n")
rows = {}
function addRow(c, average)
  local row = { configurations[c][1][2], configurations[c][2][2], size, average, polygons[c] }
  tinsert(rows, row)
  writeToFile(csvName, format("%s,%s,%d,%.3f,%d\n", row[1], row[2], row[3], row[4], row[5]))
end

-- measureFrameTime() hands back the average of the run that finished last
-- and starts a run over the next `frames` frames, so each configuration's
-- figure is collected as the next one starts, and the last one at the end.
polygons = {}
for c = 1, getn(configurations) do
  setTerrainAlgorithm(configurations[c][1][1])
  setPlantAlgorithm(configurations[c][2][1])
  -- Let ROAM settle and the plant display lists build before measuring.
  for i = 1, warmUpFrames do placeCamera(0); renderScene() end

  local previous = measureFrameTime()
  if c > 1 then addRow(c - 1, previous) end
  local sum = 0
  for i = 1, frames do
    placeCamera(i)
    renderScene()
    sum = sum + getSceneNumPolygons()
  end
  polygons[c] = floor(sum / frames)
  -- renderScene() handles a waiting window message (the user's mouse, say)
  -- instead of drawing: a few more steps make sure the run has finished.
  for i = frames + 1, frames + 10 + frames / 10 do placeCamera(i); renderScene() end
end
addRow(getn(configurations), measureFrameTime())

print("")
print(format("%-14s %-20s %5s %10s %10s", "algorithm", "scheme", "size", "ms/frame", "polygons"))
for i = 1, getn(rows) do
  local row = rows[i]
  print(format("%-14s %-20s %5d %10.2f %10d", row[1], row[2], row[3], row[4], row[5]))
end
print(format("%d frames per configuration; written to %s", frames, csvName))
