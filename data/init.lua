-- init.lua: the default start script of Morvista.
--
-- Opens the console and a 1024 x 768 window on the 257 map, draws the
-- terrain with brute force, splatting and the lightmap and the plants as
-- full models, places the camera at the first view and runs until the
-- window is closed (Escape). Scripts opened later with File > Open (such as
-- tour.lua) read MAP_SIZE to know the map.

MAP_SIZE = 257

createConsole()
setWindowMode()
setScreenSize(1024, 768)
setHMSize(MAP_SIZE)
createWindow("Morvista")

turnTerrainOn()
setTerrainAlgorithm("brute")
setPlantAlgorithm("brute")
turnTerrainMultitexturingOn()
turnTerrainLightOn()

-- Stand on the south-west meadow, looking north-east over the valley.
setCameraAutoHeight(60, 200, 35, 8)

mainLoop()
