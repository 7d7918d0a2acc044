-- tour.lua: a scripted flight over the scene, opened with File > Open.
-- Flies the camera along a spline through random key points, switching
-- terrain algorithms and plant schemes on the way, and takes a few named
-- screenshots ("tour1.tga" ... beside the program).

keyFile = "tourkeys.txt"
steps = 900           -- frames drawn along the tour; spline time runs 0 .. steps

-- Make the key points once; later tours reuse the same file.
if readfrom(keyFile) == nil then
  generateRandomSpline(keyFile, 12)
else
  readfrom()
end
tourSpline = loadSpline(keyFile, steps)

turnTerrainOn()
turnTerrainMultitexturingOn()
turnTerrainLightOn()

stops = {
  [1]   = { terrain = "brute",         plants = "brute" },
  [300] = { terrain = "geomipmapping", plants = "mix" },
  [600] = { terrain = "roam",          plants = "smooth" },
}
shots = { [150] = "tour1.tga", [450] = "tour2.tga", [750] = "tour3.tga" }

for i = 1, steps do
  if stops[i] then
    setTerrainAlgorithm(stops[i].terrain)
    setPlantAlgorithm(stops[i].plants)
  end
  -- Look a little ahead along the path.
  local x, y, z = interpolateSpline(tourSpline, i)
  local ax, ay, az = interpolateSpline(tourSpline, i + 8)
  setCameraLookAtAutoHeight(x, z, ax, az)
  if shots[i] then takeScreenShot(shots[i]) end
  renderScene()
end
print("tour done")
