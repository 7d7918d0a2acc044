-- init.lua: the default start script of Morvista.
-- Opens the console and a 1024 x 768 window on the 257 map, shows the
-- terrain with brute force, splatting and lighting, places the camera at
-- the first view and runs until the window is closed (Escape).

createConsole()
setWindowMode()
setScreenSize(1024, 768)
setHMSize(257)
createWindow("Morvista")

turnTerrainOn()
setTerrainAlgorithm("brute")
turnTerrainMultitexturingOn()
turnTerrainLightOn()

-- Stand at the south-west meadow, looking north-east over the valley.
setCameraAutoHeight(60, 200, 35, 8)

mainLoop()
