// HomeViewTest.cpp -- "Reset View": the map's centre until a script places
// the camera, then the view it placed, kept once the main loop has started.
#include <gtest/gtest.h>

#include "camera/camera.h"
#include "camera/homeView.h"
#include "scene/sceneConfig.h"

namespace {
void expectCamera(float x, float y, float z, float horizontal, float vertical, const char* what) {
    float cx, cy, cz;
    getCameraPositionXYZ(cx, cy, cz);
    EXPECT_FLOAT_EQ(cx, x) << what;
    EXPECT_FLOAT_EQ(cy, y) << what;
    EXPECT_FLOAT_EQ(cz, z) << what;
    EXPECT_FLOAT_EQ(getCamera()->horizontalAngle.load(), horizontal) << what;
    EXPECT_FLOAT_EQ(getCamera()->verticalAngle.load(), vertical) << what;
}
}  // namespace

TEST(HomeView, CentreOfTheMapUntilAScriptPlacesTheCameraThenKeptFromTheMainLoopOn) {
    mapExtent = 128.0f;  // an empty terrain: ground 0, eye 8 above it
    setCameraAll(5.0f, 6.0f, 7.0f, 90.0f, 20.0f);
    ASSERT_FALSE(homeViewRecorded());
    resetCameraToHome();
    expectCamera(64.0f, groundEyeHeight(64.0f, 64.0f), 64.0f, 0.0f, 0.0f, "no view recorded: the centre, level");

    setCameraAll(60.0f, 12.0f, 200.0f, 35.0f, 8.0f);
    recordHomeView();
    setCameraAll(1.0f, 2.0f, 3.0f, -10.0f, -5.0f);
    resetCameraToHome();
    expectCamera(60.0f, 12.0f, 200.0f, 35.0f, 8.0f, "the recorded view");

    // A later placement moves the home until the main loop fixes it.
    setCameraAll(70.0f, 14.0f, 190.0f, 40.0f, 4.0f);
    recordHomeView();
    fixHomeView();
    setCameraAll(80.0f, 16.0f, 180.0f, 45.0f, 2.0f);
    recordHomeView();
    resetCameraToHome();
    expectCamera(70.0f, 14.0f, 190.0f, 40.0f, 4.0f, "fixed at the main loop's start");
}
