-- benchmark.lua: measures every terrain algorithm with every plant scheme
-- on the same camera path and writes one CSV row per configuration.
--
--   morvista benchmark.lua
--
-- Settings can be given before the script runs, for example
--   morvista 'BENCH_SIZE=129; BENCH_FRAMES=50; dofile("benchmark.lua")'
-- BENCH_SIZE    heightmap size (129, 257, 513 or 1025), default 257
-- BENCH_FRAMES  frames measured per configuration, default 300
-- BENCH_CSV     output file, default "benchmark.csv" beside the program

size = BENCH_SIZE or 257
frames = BENCH_FRAMES or 300
csvName = BENCH_CSV or "benchmark.csv"
warmUpFrames = 30

terrains = { "brute", "geomipmapping", "roam" }
schemes = { "brute", "xbill", "bill", "mix", "smooth" }

setWindowMode()
setScreenSize(1024, 768)
setHMSize(size)
createWindow("Morvista benchmark")
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()
setFrameSamples(frames)

-- The camera walks once round a circle about the middle of the map,
-- looking along its way, so every configuration sees the same views.
centre = (size - 1) / 2
radius = (size - 1) * 0.3
function placeCamera(i)
  local a = 360 * i / frames
  local x = centre + radius * cos(a)
  local z = centre + radius * sin(a)
  setCameraAutoHeight(x, z, a + 180, 10)
end

-- One row per configuration; the header starts a fresh file.
remove(csvName)
writeToFile(csvName, "algorithm,scheme,size,average_ms,polygons\n")

results = {}
for t = 1, getn(terrains) do
  for s = 1, getn(schemes) do
    setTerrainAlgorithm(terrains[t])
    setPlantAlgorithm(schemes[s])
    -- Let ROAM settle and the plant display lists compile before measuring.
    for i = 1, warmUpFrames do placeCamera(0); renderScene() end
    measureFrameTime()
    local polygons = 0
    for i = 1, frames do
      placeCamera(i)
      renderScene()
      polygons = polygons + getSceneNumPolygons()
    end
    -- A few spare steps in case window messages took some of the calls.
    for i = 1, 10 do renderScene() end
    local average = measureFrameTime()
    local row = format("%s,%s,%d,%.3f,%d", terrains[t], schemes[s], size, average, floor(polygons / frames))
    writeToFile(csvName, row .. "\n")
    tinsert(results, row)
  end
end

print("")
print("algorithm,scheme,size,average_ms,polygons")
for i = 1, getn(results) do print(results[i]) end
print(format("benchmark written to %s", csvName))
