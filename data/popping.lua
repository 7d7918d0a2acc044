-- popping.lua -- how much the terrain jumps from frame to frame along the
-- benchmark's walk, with and without geomorphing.
--
--   morvista popping.lua
--
-- Walks the benchmark's circle (about the middle of the map, looking along
-- the way and a little down) at 1024 x 768 for each configuration below,
-- measuring popping (measureTerrainPopping: this frame's mesh against the
-- last one's, from this frame's camera) after every frame, and the
-- geometric error (measureTerrainError) every POP_ERROR_EVERY frames. Prints
-- one line per configuration:
--   popping <terrain> tolerance <px> geomorphing <on|off>: pop max p99 <px>,
--   pop p95 median <px>, pop max <px>, error p95 median <px>, error max
--   <px>, ms median <ms>, polygons median <n>
-- Settings (globals set before this file runs):
--   POP_SIZE       heightmap size (default 257)
--   POP_FRAMES     frames of the walk (default 100)
--   POP_TOLERANCE  the LOD algorithms' tolerance in pixels (default 4)
--   POP_ERROR_EVERY frames between error measurements (default 10)
--   POP_ONLY       measure only the configurations of this terrain keyword
--                  (default all)

size = floor(POP_SIZE or 257)
frames = floor(POP_FRAMES or 100)
tolerance = POP_TOLERANCE or 4
errorEvery = floor(POP_ERROR_EVERY or 10)
warmUp = 10

configurations = {
  { terrain = "brute", name = "brute force", tolerance = 0, morph = 0 },
  { terrain = "geomipmapping", name = "geomipmapping", tolerance = tolerance, morph = 0 },
  { terrain = "geomipmapping", name = "geomipmapping", tolerance = tolerance, morph = 1 },
  { terrain = "roam", name = "ROAM 2.0", tolerance = tolerance, morph = 0 },
}

setWindowMode()
setScreenSize(1024, 768)
setHMSize(size)
createWindow("Morvista popping")
lockCamera()
hideMenus()
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()
setPlantAlgorithm("brute")
turnNonLODPlantsOff()
turnLODPlantsOff()

viewWidth, viewHeight = getViewportSize()
print(format("popping walk %s, program %s, renderer %s, viewport %dx%d, map %d, %d frames",
             date("%Y-%m-%d %H:%M:%S %Z"), getProgramVersion(), getGLRenderer(), viewWidth, viewHeight, size,
             frames))

centre = (size - 1) / 2
radius = (size - 1) * 0.3
function placeCamera(i)
  local angle = 360 * i / frames
  setCameraAutoHeight(centre + radius * cos(angle), centre + radius * sin(angle), angle + 180, 10)
end
function drawOneFrame()
  local before = getFrameCount()
  for try = 1, 500 do
    renderScene()
    if getFrameCount() > before then return end
  end
end
function quantile(values, q)
  local n = getn(values)
  if n == 0 then return 0 / 0 end
  local sorted = {}
  for i = 1, n do sorted[i] = values[i] end
  table.sort(sorted)
  local rank = ceil(q * n)
  if rank < 1 then rank = 1 end
  return sorted[rank]
end

for c = 1, getn(configurations) do
  local conf = configurations[c]
  if POP_ONLY == nil or POP_ONLY == conf.terrain then
  setTerrainAlgorithm(conf.terrain)
  setTerrainError(conf.tolerance)
  if conf.morph == 1 then turnGeomorphingOn() else turnGeomorphingOff() end
  for i = 1 - warmUp, 0 do placeCamera(i); drawOneFrame() end
  turnPoppingMeasureOn()
  placeCamera(0); drawOneFrame()
  local popMax, popP95, errP95, errMax, ms, polygons = {}, {}, {}, {}, {}, {}
  for i = 1, frames do
    placeCamera(i)
    drawOneFrame()
    tinsert(ms, getFrameTime())
    tinsert(polygons, getSceneNumPolygons())
    local p95, worst = measureTerrainPopping()
    if p95 ~= nil then tinsert(popP95, p95); tinsert(popMax, worst) end
    if errorEvery > 0 and mod(i, errorEvery) == 0 then
      local e95, emax = measureTerrainError()
      if e95 ~= nil then tinsert(errP95, e95); tinsert(errMax, emax) end
    end
  end
  turnPoppingMeasureOff()
  local morphText = "off"
  if conf.morph == 1 then morphText = "on" end
  print(format("popping %s tolerance %g geomorphing %s: pop max p99 %.3f, pop p95 median %.3f, pop max %.3f, " ..
               "error p95 median %.3f, error max %.3f, ms median %.2f, polygons median %d",
               conf.name, conf.tolerance, morphText, quantile(popMax, 0.99), quantile(popP95, 0.5),
               quantile(popMax, 1.0), quantile(errP95, 0.5), quantile(errMax, 1.0), quantile(ms, 0.5),
               quantile(polygons, 0.5)))
  end
end
turnGeomorphingOff()
setTerrainError(0)
