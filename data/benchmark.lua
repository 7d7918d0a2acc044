-- benchmark.lua: compares the terrain algorithms and plant schemes, cost
-- against quality.
--
--   morvista benchmark.lua
--
-- A configuration is a terrain algorithm, a plant scheme and, for
-- geomipmapping and ROAM, a terrain error tolerance in pixels (brute force
-- draws the whole grid and has none). For every configuration the camera
-- walks the same circle over the map; every frame's time (clear to
-- presentation, getFrameTime) and polygon count are kept, and every
-- BENCH_ERROR_EVERY frames the picture's distance from full detail is
-- measured between two frames (so its cost is in no frame time):
--   terrain: measureTerrainError() gives the geometric error's 95th
--     percentile and maximum in pixels, the share (0..1) of pixels whose
--     colour differs from the full-resolution grid, and their PSNR in dB;
--   plants: measurePlantError() gives the share of pixels differing from
--     full models over the same ground and view, and their PSNR.
-- Every frame's parts are kept too (getFrameTimes): the terrain algorithm's
-- LOD work and the plant pass's placement and selection (CPU time of the
-- main thread) and the graphics time from timer queries (on a software
-- rasteriser, the rasteriser's work; "n/a" where the driver has no timer).
-- A build without those instruments leaves the error columns empty ("n/a"
-- in the table); one without setTerrainError measures every terrain at its
-- own fixed rule (tolerance 0) only.
--
-- The walk is repeated BENCH_ROUNDS times. Within a round it is cut into
-- turns of BENCH_SEGMENT frames, and the configurations take their turns in
-- order, turn after turn: every configuration walks frames 1-50, then every
-- one walks 51-100, and so on. So each configuration's frames are spread
-- over the whole round, and a shared machine whose speed drifts over minutes
-- touches all of them alike. Each turn starts BENCH_WARM_UP frames back
-- along the circle and walks, unmeasured, into its first frame: ROAM, which
-- refines a little every frame, is then following the moving camera as in
-- an unbroken walk, whatever the configuration before it left behind. A
-- configuration's frame-time figures are the medians of its rounds'
-- figures; the spread is largest / smallest - 1 of its rounds' median frame
-- times, flagged when above 5 %.
--
-- Written (names beside the program unless BENCH_CSV names another place):
--   benchmark.csv         one row per configuration, with the run record
--   benchmark-frames.csv  one row per measured frame
--   benchmark.png         (a) frame time along the walk per terrain
--                         algorithm, (b) cost against each error measure
-- and the table is printed at the end; then the program ends.
--
-- Settings, read from globals when a script set them before this one ran
-- (write a small script that sets them and then calls dofile with the full
-- path of this file):
--   BENCH_SIZE         heightmap size: 129, 257, 513 or 1025 (default 257)
--   BENCH_FRAMES       frames measured per configuration and round (default 300)
--   BENCH_ROUNDS       rounds of the whole walk (default 3)
--   BENCH_TOLERANCES   terrain error tolerances in pixels (default {0, 1, 4};
--                      0 is each algorithm's fixed rule)
--   BENCH_ERROR_EVERY  frames between error measurements (default 10; 0: none)
--   BENCH_SEGMENT      frames of one turn (default 50; BENCH_FRAMES or more:
--                      each configuration walks the whole circle in one turn)
--   BENCH_WARM_UP      frames walked into each turn, not measured (default 10)
--   BENCH_CSV          configuration file (default "benchmark.csv"); the frame
--                      file and the picture take its name with "-frames.csv"
--                      and ".png" in place of ".csv"
--   BENCH_MARKDOWN     also write the table as Markdown to this file (default none)
--   BENCH_QUICK        true: a first look in about two minutes -- the 129 map,
--                      60 frames, 1 round, errors every 20 frames (settings
--                      given beside it still win)
--
-- Unattended runs: start it with `morvista --batch` (no box waits for a
-- click) or `morvista --headless` (no display needed), e.g.
--   morvista --headless 'BENCH_QUICK = 1; dofile("benchmark.lua")'
-- The Pause key (or, in batch runs, SIGINT / SIGTERM) stops it. After every
-- round the CSV is written again with what the finished rounds measured and
-- the frame file gets that round's frames, so a stopped or killed run keeps
-- its finished rounds: until the run ends the CSV's status column says
-- "partial" (with the rounds done), then "complete". After each turn a
-- progress line (round, frames done of all, time left) is printed and shown
-- in a corner of the view.

-- Settings check, before anything is measured: a setting of the wrong kind
-- (text for a number, NaN, an infinity, a number above 1000000, a
-- tolerance outside 0-10000, a file name that is not text) stops the run
-- with a message naming it, and so does an output file that cannot be
-- written; the program then ends with a non-zero exit code.
function benchRefuse(text)
  -- Nothing is open yet (the window comes later), so the run ends here.
  local line = "benchmark.lua: " .. text
  print(line)
  if io and io.stderr then io.stderr:write(line .. "\n") end
  exit(1)
end
function benchCheckCount(name)
  local value = _G[name]
  if value == nil then return end
  if type(value) ~= "number" or value ~= value or value < -1000000 or value > 1000000 then
    benchRefuse(format("%s is %s, not a number from -1000000 to 1000000", name, tostring(value)))
  end
end
benchCheckCount("BENCH_SIZE")
benchCheckCount("BENCH_FRAMES")
benchCheckCount("BENCH_ROUNDS")
benchCheckCount("BENCH_ERROR_EVERY")
benchCheckCount("BENCH_SEGMENT")
benchCheckCount("BENCH_WARM_UP")
if BENCH_TOLERANCES ~= nil then
  if type(BENCH_TOLERANCES) ~= "table" then
    benchRefuse(format("BENCH_TOLERANCES is %s, not a list of pixel tolerances", tostring(BENCH_TOLERANCES)))
  end
  for i = 1, getn(BENCH_TOLERANCES) do
    local t = BENCH_TOLERANCES[i]
    if type(t) ~= "number" or t ~= t or t < 0 or t > 10000 then
      benchRefuse(format("BENCH_TOLERANCES entry %d is %s, not a tolerance from 0 to 10000 pixels", i, tostring(t)))
    end
  end
end
function benchCheckOutput(name, default)
  local file = _G[name]
  if file == nil then file = default end
  if file == nil then return end
  if type(file) ~= "string" or file == "" then
    benchRefuse(format("%s is %s, not a file name", name, tostring(file)))
  end
  -- Written to now, so a folder that is missing or read-only stops the run
  -- before it measures rather than after.
  local probe = file .. ".write-check"
  local ok, why = pcall(writeToFile, probe, "")
  remove(probe)
  if not ok then benchRefuse(format("%s: %s", name, tostring(why))) end
end
benchCheckOutput("BENCH_CSV", "benchmark.csv")
benchCheckOutput("BENCH_MARKDOWN", nil)

preset = { size = 257, frames = 300, rounds = 3, errorEvery = 10 }
if BENCH_QUICK then preset = { size = 129, frames = 60, rounds = 1, errorEvery = 20 } end
size = BENCH_SIZE or preset.size
frames = floor(BENCH_FRAMES or preset.frames)
rounds = floor(BENCH_ROUNDS or preset.rounds)
errorEvery = floor(BENCH_ERROR_EVERY or preset.errorEvery)
tolerances = BENCH_TOLERANCES or {0, 1, 4}
csvName = BENCH_CSV or "benchmark.csv"
warmUpFrames = floor(BENCH_WARM_UP or 10)
segment = floor(BENCH_SEGMENT or 50)
if size ~= 129 and size ~= 257 and size ~= 513 and size ~= 1025 then
  print(format("BENCH_SIZE %s is not a map size (129, 257, 513, 1025): using 257", tostring(size)))
  size = 257
end
if frames < 1 then print(format("BENCH_FRAMES %d: measuring 1 frame", frames)); frames = 1 end
if rounds < 1 then print(format("BENCH_ROUNDS %d: running 1 round", rounds)); rounds = 1 end
if errorEvery < 0 then errorEvery = 0 end
if warmUpFrames < 0 then warmUpFrames = 0 end
if segment < 1 then print(format("BENCH_SEGMENT %d: turns of 1 frame", segment)); segment = 1 end
if segment > frames then segment = frames end
if type(tolerances) ~= "table" or getn(tolerances) == 0 then
  print("BENCH_TOLERANCES is not a list of pixel tolerances: using {0, 1, 4}")
  tolerances = {0, 1, 4}
end
stem = csvName
if strsub(stem, -4) == ".csv" then stem = strsub(stem, 1, -5) end
framesName = stem .. "-frames.csv"
pngName = stem .. ".png"

-- The instruments this build has.
hasTolerance = type(setTerrainError) == "function"
hasTerrainError = type(measureTerrainError) == "function"
hasPlantError = type(measurePlantError) == "function"
hasFrameTimes = type(getFrameTimes) == "function"
if not hasTolerance then
  print("setTerrainError is not in this program: every terrain is measured at its fixed rule (tolerance 0)")
  tolerances = {0}
end
if not hasTerrainError then print("measureTerrainError is not in this program: no terrain error figures") end
if not hasPlantError then print("measurePlantError is not in this program: no plant error figures") end
instrumentsText = ""
if not (hasTerrainError and hasPlantError) then instrumentsText = " where this program could measure it" end

-- What setTerrainAlgorithm / setPlantAlgorithm are given, and the name shown.
-- The terrains are the program's registered algorithms that draw terrain
-- (getTerrainAlgorithms; the quad-tree entry draws none), shown by these
-- names or else by their menu labels.
terrainShown = { brute = "brute force", geomipmapping = "geomipmapping", roam = "ROAM 2.0" }
if type(getTerrainAlgorithms) == "function" then
  terrains = {}
  local names, labels, drawsTerrain = getTerrainAlgorithms()
  for i = 1, getn(names) do
    if drawsTerrain[i] then tinsert(terrains, { names[i], terrainShown[names[i]] or labels[i] }) end
  end
else
  terrains = { {"brute", "brute force"}, {"geomipmapping", "geomipmapping"}, {"roam", "ROAM 2.0"} }
end
schemes = { {"brute", "full models"}, {"xbill", "crossed billboards"}, {"bill", "billboards"},
            {"mix", "mixed by distance"}, {"smooth", "smooth transition"} }

setWindowMode()
setScreenSize(1024, 768)
setHMSize(size)
createWindow("Morvista benchmark")
lockCamera()                -- mouse and keys leave the camera alone
-- Full view: nothing but the drawing area is measured, and no status bar
-- updates come between the frames.
hideMenus()
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()

roundsText = format("%d rounds", rounds)
if rounds == 1 then roundsText = "1 round" end

-- The run record.
viewWidth, viewHeight = getViewportSize()
record = {
  date = date("%Y-%m-%d %H:%M:%S %Z"),
  version = getProgramVersion(),
  renderer = getGLRenderer(),
  glVersion = getGLVersion(),
  viewport = format("%dx%d", viewWidth, viewHeight),
}
-- Which terrain was measured: the scene folder ("default" beside the
-- program) and the CRC-32 of its height file, so runs on different data are
-- never compared unawares.
record.scene, record.heightFile, record.heights = getSceneRecord()
record.heights = record.heights or "unreadable"
print(format("benchmark %s, program %s, renderer %s, OpenGL %s, viewport %s, map %d, %d frames x %s, " ..
             "turns of %d frames", record.date, record.version, record.renderer, record.glVersion,
             record.viewport, size, frames, roundsText, segment))
print(format("scene %s, heights %s (CRC-32 %s)", record.scene, record.heightFile, record.heights))

-- Step i of the walk: once round a circle about the middle of the map,
-- looking along the way and a little down.
centre = (size - 1) / 2
radius = (size - 1) * 0.3
function placeCamera(i)
  local angle = 360 * i / frames
  setCameraAutoHeight(centre + radius * cos(angle), centre + radius * sin(angle), angle + 180, 10)
end

-- renderScene() handles a waiting window event instead of drawing: call it
-- until a frame has been drawn (a few hundred tries at most).
function drawOneFrame()
  local before = getFrameCount()
  for try = 1, 500 do
    renderScene()
    if getFrameCount() > before then return end
  end
  print("benchmark: no frame was drawn after 500 steps")
end

-- Text of a figure: "" (CSV) or "n/a" (table) when not measured, "inf" for
-- an infinite PSNR.
function figure(value, decimals, missing)
  if value == nil then return missing end
  if value == math.huge then return "inf" end
  return format("%." .. decimals .. "f", value)
end
-- A CSV text field, quoted (renderer names hold commas).
function quoted(text) return "\"" .. gsub(text, "\"", "\"\"") .. "\"" end
function toleranceText(c)
  if terrains[c.terrain][1] == "brute" then return "-" end
  return format("%g", c.tolerance)
end

-- Every terrain (with each of its tolerances) and plant scheme, in table order.
configurations = {}
for t = 1, getn(terrains) do
  local own = tolerances
  if terrains[t][1] == "brute" then own = {0} end
  for k = 1, getn(own) do
    for s = 1, getn(schemes) do
      -- Brute force has no tolerance: its cell stays empty.
      local toleranceCell = format("%g", own[k])
      if terrains[t][1] == "brute" then toleranceCell = "" end
      local name = format("%s,%s,%s", quoted(terrains[t][2]), quoted(schemes[s][2]), toleranceCell)
      tinsert(configurations, { terrain = t, scheme = s, tolerance = own[k], toleranceCell = toleranceCell,
                                name = name, rounds = {}, views = {} })
    end
  end
end

remove(framesName)          -- writeToFile appends: start fresh files
writeToFile(framesName, "terrain,scheme,tolerance_px,round,frame,ms,polygons,terrain_error_p95_px," ..
            "terrain_error_max_px,terrain_differing_share,terrain_psnr_db,plant_differing_share,plant_psnr_db," ..
            "lod_cpu_ms,plant_cpu_ms,gpu_ms\n")

-- One turn of one configuration: frames first .. last of the walk, after
-- the warm-up frames that lead into them (ROAM follows the camera, the
-- plant display lists are built). Its frame times, polygons and frame file
-- lines go into the configuration's record of this round.
function runTurn(c, walk, round, first, last)
  setTerrainAlgorithm(terrains[c.terrain][1])
  setPlantAlgorithm(schemes[c.scheme][1])
  if hasTolerance then setTerrainError(c.tolerance) end
  for i = first - warmUpFrames, first - 1 do placeCamera(i); drawOneFrame() end
  for i = first, last do
    placeCamera(i)
    drawOneFrame()
    walk.ms[i] = getFrameTime()
    local lod, plant, gpu
    if hasFrameTimes then
      local frameMs
      frameMs, lod, plant, gpu = getFrameTimes()
      tinsert(walk.lod, lod); tinsert(walk.plant, plant)
      if gpu ~= nil then tinsert(walk.gpu, gpu) end
    end
    walk.polygons[i] = getSceneNumPolygons()
    local errors = ",,,,,,"
    if errorEvery > 0 and mod(i, errorEvery) == 0 and (hasTerrainError or hasPlantError) then
      -- Measured between frames, for the view just drawn.
      local view = {}
      if hasTerrainError then view.p95, view.max, view.share, view.psnr = measureTerrainError() end
      if hasPlantError then view.plantShare, view.plantPsnr = measurePlantError() end
      tinsert(c.views, view)
      errors = "," .. figure(view.p95, 3, "") .. "," .. figure(view.max, 3, "") .. "," ..
               figure(view.share, 6, "") .. "," .. figure(view.psnr, 2, "") .. "," ..
               figure(view.plantShare, 6, "") .. "," .. figure(view.plantPsnr, 2, "")
    end
    walk.lines[i] = format("%s,%d,%d,%.3f,%d", c.name, round, i, walk.ms[i], walk.polygons[i]) .. errors .. "," ..
                    figure(lod, 3, "") .. "," .. figure(plant, 3, "") .. "," .. figure(gpu, 3, "") .. "\n"
  end
end

function partMedian(values)
  if getn(values) == 0 then return nil end
  local low, median = summarise(values)
  return median
end
-- Progress: frames walked (measured and warm-up alike) of the whole run,
-- and the time left at the pace so far.
progress = { done = 0, total = rounds * getn(configurations) * (frames + warmUpFrames * ceil(frames / segment)),
             start = timeGetTime() }
function durationText(seconds)
  seconds = floor(seconds + 0.5)
  if seconds >= 3600 then return format("%d h %02d min", floor(seconds / 3600), floor(mod(seconds, 3600) / 60)) end
  if seconds >= 60 then return format("%d min %02d s", floor(seconds / 60), mod(seconds, 60)) end
  return format("%d s", seconds)
end
function reportProgress(round, walked)
  progress.done = progress.done + walked
  local elapsed = (timeGetTime() - progress.start) / 1000
  local left = elapsed / progress.done * (progress.total - progress.done)
  local line = format("benchmark: round %d/%d, %d of %d frames, about %s left", round, rounds, progress.done,
                      progress.total, durationText(left))
  print(line)
  if setViewNotice then setViewNotice(line) end
end

-- One round: every configuration's whole walk, turn by turn; then its
-- figures for the round, and its frames written in walk order.
function runRound(round)
  local walks = {}
  for c = 1, getn(configurations) do walks[c] = { ms = {}, polygons = {}, lines = {}, lod = {}, plant = {}, gpu = {} } end
  for first = 1, frames, segment do
    local last = min(first + segment - 1, frames)
    for c = 1, getn(configurations) do
      runTurn(configurations[c], walks[c], round, first, last)
      reportProgress(round, last - first + 1 + warmUpFrames)
    end
    print(format("round %d/%d: frames %d-%d of %d walked by every configuration", round, rounds, first, last,
                 frames))
  end
  for c = 1, getn(configurations) do
    local conf, walk = configurations[c], walks[c]
    writeToFile(framesName, table.concat(walk.lines))
    local low, median, p95, high, mean = summarise(walk.ms)
    tinsert(conf.rounds, { ms = walk.ms, polygons = walk.polygons, min = low, median = median, p95 = p95,
                           max = high, mean = mean })
    -- The frame's parts: medians of the round (none where not measured).
    local parts = conf.rounds[getn(conf.rounds)]
    parts.lod, parts.plant, parts.gpu = partMedian(walk.lod), partMedian(walk.plant), partMedian(walk.gpu)
    print(format("round %d/%d  %s, %s, tolerance %s: median %.2f ms", round, rounds, terrains[conf.terrain][2],
                 schemes[conf.scheme][2], toleranceText(conf), median))
  end
end

-- The figures of a configuration over its rounds and measured views.
function column(list, key)
  local values = {}
  for i = 1, getn(list) do
    if list[i][key] ~= nil then tinsert(values, list[i][key]) end
  end
  return values
end
function medianOf(values)
  local low, median = summarise(values)
  return median
end
function largestOf(values)
  local low, median, p95, high = summarise(values)
  return high
end
-- Each configuration's figures over the rounds done so far.
function summariseConfigurations()
for c = 1, getn(configurations) do
  local conf = configurations[c]
  local allPolygons = {}
  for r = 1, getn(conf.rounds) do
    for i = 1, getn(conf.rounds[r].polygons) do tinsert(allPolygons, conf.rounds[r].polygons[i]) end
  end
  conf.min = medianOf(column(conf.rounds, "min"))
  conf.median = medianOf(column(conf.rounds, "median"))
  conf.p95 = medianOf(column(conf.rounds, "p95"))
  conf.max = medianOf(column(conf.rounds, "max"))
  conf.mean = medianOf(column(conf.rounds, "mean"))
  -- One round has no spread: nil, an empty cell ("n/a" in the table).
  conf.spread = nil
  if getn(conf.rounds) > 1 then conf.spread = spreadOf(column(conf.rounds, "median")) end
  conf.flagged = conf.spread ~= nil and conf.spread > 0.05
  conf.polygons = floor(medianOf(allPolygons) + 0.5)
  -- Error figures: the median view, and the worst pixel of any view.
  conf.errorP95 = medianOf(column(conf.views, "p95"))
  conf.errorMax = largestOf(column(conf.views, "max"))
  conf.share = medianOf(column(conf.views, "share"))
  conf.psnr = medianOf(column(conf.views, "psnr"))
  conf.plantShare = medianOf(column(conf.views, "plantShare"))
  conf.plantPsnr = medianOf(column(conf.views, "plantPsnr"))
  conf.lod = partMedian(column(conf.rounds, "lod"))
  conf.plant = partMedian(column(conf.rounds, "plant"))
  conf.gpu = partMedian(column(conf.rounds, "gpu"))
end
end

-- benchmark.csv: one row per configuration, the run record on every row,
-- and the run's status: "partial N/M rounds" while rounds are still to
-- come, "complete" at the end. Written again after every round.
function writeConfigurationFile(roundsDone)
remove(csvName)
writeToFile(csvName, "terrain,scheme,tolerance_px,size,ms_min,ms_median,ms_p95,ms_max,ms_mean," ..
            "ms_median_spread,spread_over_5pct,polygons_median,terrain_error_p95_px,terrain_error_max_px," ..
            "terrain_differing_share,terrain_psnr_db,plant_differing_share,plant_psnr_db," ..
            "date,program_version,gl_renderer,gl_version,viewport,frames,rounds,lod_cpu_ms,plant_cpu_ms,gpu_ms," ..
            "scene,height_crc32,status\n")
local status = "complete"
if roundsDone < rounds then status = format("partial %d/%d rounds", roundsDone, rounds) end
for c = 1, getn(configurations) do
  local conf = configurations[c]
  local spreadCell, flagCell = "", ""
  if conf.spread ~= nil then
    spreadCell = format("%.4f", conf.spread)
    flagCell = "0"
    if conf.flagged then flagCell = "1" end
  end
  writeToFile(csvName, format("%s,%s,%s,%d,%.3f,%.3f,%.3f,%.3f,%.3f,%s,%s,%d,",
      quoted(terrains[conf.terrain][2]), quoted(schemes[conf.scheme][2]), conf.toleranceCell, size,
      conf.min, conf.median, conf.p95, conf.max, conf.mean, spreadCell, flagCell, conf.polygons) ..
    figure(conf.errorP95, 3, "") .. "," .. figure(conf.errorMax, 3, "") .. "," .. figure(conf.share, 6, "") .. "," ..
    figure(conf.psnr, 2, "") .. "," .. figure(conf.plantShare, 6, "") .. "," .. figure(conf.plantPsnr, 2, "") .. "," ..
    quoted(record.date) .. "," .. quoted(record.version) .. "," .. quoted(record.renderer) .. "," ..
    quoted(record.glVersion) .. "," .. record.viewport .. format(",%d,%d,", frames, rounds) ..
    figure(conf.lod, 3, "") .. "," .. figure(conf.plant, 3, "") .. "," .. figure(conf.gpu, 3, "") .. "," ..
    quoted(record.scene) .. "," .. record.heights .. "," .. status .. "\n")
end
end

for round = 1, rounds do
  runRound(round)
  if round < rounds then
    summariseConfigurations()
    writeConfigurationFile(round)
  end
end
if hasTolerance then setTerrainError(0) end  -- the viewer goes on at the fixed rules
summariseConfigurations()
writeConfigurationFile(rounds)
if setViewNotice then setViewNotice("") end

-- benchmark.png: (a) per terrain algorithm the walk of its first
-- configuration (full models, its first tolerance), the median of the
-- rounds at each frame; (b) every configuration's cost against its errors.
plot = {
  title = format("Morvista benchmark: %d map, %s, %d frames x %s", size, record.viewport, frames, roundsText),
  notes = { format("%s   program %s", record.date, record.version),
            format("renderer %s   OpenGL %s", record.renderer, record.glVersion),
            "ms per frame: median of the rounds' median frame times; errors: median of the measured views" },
  walkCaption = format("full models, tolerance %g px, median of %s at each frame", tolerances[1], roundsText),
  walk = {}, points = {}, colourNames = {}, shapeNames = {},
}
for t = 1, getn(terrains) do tinsert(plot.colourNames, terrains[t][2]) end
for s = 1, getn(schemes) do tinsert(plot.shapeNames, schemes[s][2]) end
for t = 1, getn(terrains) do
  for c = 1, getn(configurations) do
    local conf = configurations[c]
    if conf.terrain == t then
      local walk = {}
      for i = 1, frames do
        local atFrame = {}
        for r = 1, getn(conf.rounds) do tinsert(atFrame, conf.rounds[r].ms[i]) end
        walk[i] = medianOf(atFrame)
      end
      tinsert(plot.walk, { name = terrains[t][2], ms = walk })
      break
    end
  end
end
for c = 1, getn(configurations) do
  local conf = configurations[c]
  local label = ""
  if terrains[conf.terrain][1] ~= "brute" and getn(tolerances) > 1 then label = format("%g px", conf.tolerance) end
  tinsert(plot.points, { colour = conf.terrain, shape = conf.scheme, label = label, ms = conf.median,
                         errorPixels = conf.errorP95, terrainShare = conf.share, plantShare = conf.plantShare })
end
written, why = writeBenchmarkPlot(pngName, plot)
if not written then print(format("benchmark: %s not written: %s", pngName, why)) end

-- The table, headed by the scene it measured.
print("")
print(format("scene %s, heights %s (CRC-32 %s)", record.scene, record.heightFile, record.heights))
print(format("%-14s %-20s %5s %10s %10s %6s %8s %7s %8s %8s %9s %9s %8s %9s %20s",
             "algorithm", "scheme", "size", "ms/frame", "polygons", "tol px", "ms p95", "spread",
             "err p95", "err max", "terrain %", "PSNR dB", "plant %", "PSNR dB", "lod/plant/gpu ms"))
function percent(share)
  if share == nil then return "n/a" end
  return format("%.2f", share * 100)
end
function spreadTableText(conf)
  if conf.spread == nil then return "n/a" end
  return format("%.1f%%", conf.spread * 100)
end
anyFlagged = nil
for c = 1, getn(configurations) do
  local conf = configurations[c]
  local flag = ""
  if conf.flagged then flag = "  spread over 5 %"; anyFlagged = 1 end
  local parts = figure(conf.lod, 2, "n/a") .. "/" .. figure(conf.plant, 2, "n/a") .. "/" .. figure(conf.gpu, 2, "n/a")
  print(format("%-14s %-20s %5d %10.2f %10d %6s %8.2f %7s %8s %8s %9s %9s %8s %9s %20s%s",
               terrains[conf.terrain][2], schemes[conf.scheme][2], size, conf.median, conf.polygons,
               toleranceText(conf), conf.p95, spreadTableText(conf), figure(conf.errorP95, 2, "n/a"),
               figure(conf.errorMax, 2, "n/a"), percent(conf.share), figure(conf.psnr, 1, "n/a"),
               percent(conf.plantShare), figure(conf.plantPsnr, 1, "n/a"), parts, flag))
end
print(format("%d frames x %s per configuration on the %d map, %s, %s (program %s, %s)",
             frames, roundsText, size, record.viewport, record.renderer, record.version, record.date))
if anyFlagged then
  print("Configurations marked \"spread over 5 %\" differed by more than 5 % between rounds: the machine was busy.")
end
print(format("written to %s, %s and %s", csvName, framesName, pngName))

-- The same table in Markdown, for a report.
if BENCH_MARKDOWN then
  remove(BENCH_MARKDOWN)
  local lines = {
    format("Measured %s with program %s: renderer %s, OpenGL %s, viewport %s, %d map, %d frames per walk, " ..
           "%s, error measured every %d frames%s.", record.date, record.version, record.renderer,
           record.glVersion, record.viewport, size, frames, roundsText, errorEvery, instrumentsText),
    format("Scene: %s, heights CRC-32 %s.", record.scene, record.heights),
    "",
    "| Terrain | Plant scheme | Tolerance (px) | ms per frame (median) | ms p95 | Spread of rounds | Polygons " ..
    "| Terrain error p95 / max (px) | Terrain pixels differing | Terrain PSNR (dB) | Plant pixels differing " ..
    "| Plant PSNR (dB) |",
    "|---|---|---|---|---|---|---|---|---|---|---|---|",
  }
  for c = 1, getn(configurations) do
    local conf = configurations[c]
    local spreadText = "n/a"
    if conf.spread ~= nil then spreadText = format("%.1f %%", conf.spread * 100) end
    if conf.flagged then spreadText = spreadText .. " (over 5 %)" end
    local errorText = "n/a"
    if conf.errorP95 ~= nil then errorText = figure(conf.errorP95, 2, "n/a") .. " / " .. figure(conf.errorMax, 2, "n/a") end
    local function share(value)
      if value == nil then return "n/a" end
      return format("%.2f %%", value * 100)
    end
    tinsert(lines, format("| %s | %s | %s | %.2f | %.2f | %s | %d | %s | %s | %s | %s | %s |",
                          terrains[conf.terrain][2], schemes[conf.scheme][2], toleranceText(conf), conf.median,
                          conf.p95, spreadText, conf.polygons, errorText, share(conf.share),
                          figure(conf.psnr, 1, "n/a"), share(conf.plantShare), figure(conf.plantPsnr, 1, "n/a")))
  end
  writeToFile(BENCH_MARKDOWN, table.concat(lines, "\n") .. "\n")
end
