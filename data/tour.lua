-- tour.lua: a flight round the scene; open it with File > Open.
--
-- The camera walks a closed spline through the key points of a file,
-- looking ahead along the way. A third of the way round it switches to
-- geomipmapping with the mixed plant scheme, two thirds round to ROAM 2.0
-- with the smooth transition, and it takes three named screenshots
-- (tour1.tga, tour2.tga, tour3.tga in the current folder).
--
-- Settings, read from globals when an earlier script set them:
--   MAP_SIZE     heightmap size of the scene (init.lua sets it; default 129)
--   TOUR_STEPS   frames the flight takes (default 900)

-- One frame before anything else: run without the viewer's window (say
-- `morvista tour.lua` from a shell) the script stops here and says why,
-- before it writes any file.
renderScene()

size = MAP_SIZE or 129
steps = TOUR_STEPS or 900

-- The key points, as fractions of the map: up the valley, along the
-- mountain side and back across the meadows to where it started.
route = { {0.20, 0.78}, {0.35, 0.55}, {0.30, 0.30}, {0.50, 0.18}, {0.70, 0.40},
          {0.82, 0.72}, {0.55, 0.88}, {0.20, 0.78} }

-- A key-point file per map size, written on the first tour and read by
-- later ones (edit it to change the flight: x y z per line, y unused).
keyFile = format("tour%d.txt", size)
if readfrom(keyFile) then
  readfrom()                -- it exists: close it again
else
  for k = 1, getn(route) do
    writeToFile(keyFile, format("%.1f 0 %.1f\n", route[k][1] * (size - 1), route[k][2] * (size - 1)))
  end
end
-- interpolateSpline takes whole-number times, so the duration is the frame
-- count: one step along the curve per frame.
tourSpline = loadSpline(keyFile, steps)

switches = {
  [1]                 = { "brute", "brute" },
  [floor(steps / 3)]  = { "geomipmapping", "mix" },
  [floor(steps * 2 / 3)] = { "roam", "smooth" },
}
shots = {
  [floor(steps / 6)] = "tour1.tga",
  [floor(steps / 2)] = "tour2.tga",
  [floor(steps * 5 / 6)] = "tour3.tga",
}

lockCamera()                -- mouse and keys leave the camera alone
turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()

for i = 1, steps do
  if switches[i] then
    setTerrainAlgorithm(switches[i][1])
    setPlantAlgorithm(switches[i][2])
  end
  -- Look at the point a few steps ahead; past the end the loop starts over.
  local ahead = i + 10
  if ahead > steps then ahead = ahead - steps end
  local x, y, z = interpolateSpline(tourSpline, i)
  local ax, ay, az = interpolateSpline(tourSpline, ahead)
  setCameraLookAtAutoHeight(x, z, ax, az)
  if shots[i] then takeScreenShot(shots[i]) end
  renderScene()
end

unlockCamera()
print("tour done")
