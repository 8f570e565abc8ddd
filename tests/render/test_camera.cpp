// The camera, the lights and mouse drags over the GL view of a recording window.
#include "fake_window.h"
#include "render/render_local.h"

#include <gtest/gtest.h>

namespace {

const float kMins[3] = {-10, -20, 0}, kMaxs[3] = {10, 20, 100};

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        viewer.viewHidden = false;
        p.resourceKind = KindModel;
        view = window.GetControlRect(IdGlView);
    }
    void TearDown() override { ViewerState_Reset(); }

    // A move at (dx, dy) from a point well inside the view.
    void Move(int flags, int dx, int dy) { OnMouseMove(window, p, viewer.viewHidden, flags, view.x + 50 + dx, view.y + 50 + dy); }

    FakeWindow window;
    ControlRect view;
    PreviewState &p = viewer.preview;
};

TEST_F(Camera, LeftDragTurnsTheModel)
{
    for (int i = 0; i <= 100; ++i)  // down in one-pixel steps: pitch 0.35 per pixel
        Move(MouseLeft, 0, i);
    EXPECT_NEAR(p.modelAngles[0], 35, 1e-4);
    Move(MouseLeft, 40, 100);  // right: yaw 0.75 per pixel
    EXPECT_NEAR(p.modelAngles[1], 30, 1e-4);
    EXPECT_EQ(p.modelAngles[2], 0);

    // 1029 pixels down in drags of at most 300 wrap the pitch to near 0.
    p.modelAngles[0] = 0;
    for (int chunk : {300, 300, 300, 129}) {
        Move(0, 0, 0);  // button up: the last drag ends
        Move(MouseLeft, 0, 0);
        Move(MouseLeft, 0, chunk);
    }
    EXPECT_NEAR(p.modelAngles[0], 0.15, 1e-3);
    Move(MouseLeft, 0, 89);
    EXPECT_NEAR(p.modelAngles[0], 0.15 - 40 * 0.35, 1e-3);
    Move(MouseLeft, 0, 1000);  // outside the view: the drag ends without a delta
    EXPECT_FALSE(r_local.leftDragActive);
    EXPECT_NEAR(p.modelAngles[0], 0.15 - 40 * 0.35, 1e-3);
}

TEST_F(Camera, DragsResumeWithoutAJumpAndEdgesAreOutside)
{
    p.resourceKind = KindTexture;
    Move(MouseLeft, 0, 0);
    Move(MouseLeft, 10, 5);
    // Off the view (the left edge itself counts as outside), then back elsewhere.
    OnMouseMove(window, p, viewer.viewHidden, MouseLeft, view.x, view.y + 60);
    EXPECT_FALSE(r_local.leftDragActive);
    Move(MouseLeft, 100, 100);
    EXPECT_EQ(std::pair(p.textureOffset[0], p.textureOffset[1]), std::pair(10.0f, 5.0f));
    Move(MouseLeft, 103, 96);
    EXPECT_EQ(std::pair(p.textureOffset[0], p.textureOffset[1]), std::pair(13.0f, 1.0f));
    // A move with the button up ends the drag; the right button never slides.
    Move(0, 150, 150);
    Move(MouseRight, 150, 150);
    Move(MouseRight, 170, 190);
    EXPECT_EQ(p.textureOffset[0], 13);

    // The last pixel inside each edge still counts.
    OnMouseMove(window, p, viewer.viewHidden, MouseLeft, view.x + view.width - 1, view.y + view.height - 1);
    EXPECT_TRUE(r_local.leftDragActive);
    OnMouseMove(window, p, viewer.viewHidden, MouseLeft, view.x + view.width, view.y + view.height - 1);
    EXPECT_FALSE(r_local.leftDragActive);

    // While the view is hidden every drag ends and nothing moves.
    Move(MouseLeft, 0, 0);
    viewer.viewHidden = true;
    Move(MouseLeft, 9, 9);
    EXPECT_FALSE(r_local.leftDragActive);
    EXPECT_EQ(p.textureOffset[0], 13);
}

TEST_F(Camera, RightDragZoomsWithoutLimitAndPansWithControl)
{
    p.zoomDistance = 300;
    R_PlaceEye(p);
    for (int i = 0; i <= 4; ++i)  // down: 30 units out per pixel
        Move(MouseRight, 0, i);
    EXPECT_EQ(p.zoomDistance, 420);
    Move(MouseRight, 0, -20);  // up 24 pixels: 720 units in
    EXPECT_EQ(p.zoomDistance, -300);
    // Behind the centre, still looking along -X.
    EXPECT_FLOAT_EQ(r_local.eyeOrigin[0], -300);
    EXPECT_FLOAT_EQ(r_local.eyeAngles[0], 0);
    EXPECT_FLOAT_EQ(r_local.eyeAngles[1], 270);

    // Ctrl + right drag pans against the camera's right (world +Y) and along its up (+Z).
    Move(MouseRight | MouseControl, 10, -20);
    EXPECT_NEAR(p.orbitCentre[1], -10 * 20, 1e-3);
    EXPECT_NEAR(p.orbitCentre[2], 0, 1e-3);
    Move(MouseRight | MouseControl, 10, -15);
    EXPECT_NEAR(p.orbitCentre[2], 5 * 20, 1e-3);
    EXPECT_EQ(p.zoomDistance, -300);  // no zoom while panning
}

// Framed lights start at pitch -315 (light 0) and (-63.5, 90) (light 1).
TEST_F(Camera, ShiftSteersTheLights)
{
    R_FrameModelBounds(p, kMins, kMaxs);
    // Shift: light 1, senses reversed; Shift+Ctrl: light 0.
    Move(MouseLeft | MouseShift, 0, 0);
    Move(MouseLeft | MouseShift, 20, 10);
    EXPECT_NEAR(p.lightAngles[1][0], -63.5 - 3.5, 1e-4);
    EXPECT_NEAR(p.lightAngles[1][1], 90 - 15, 1e-4);
    EXPECT_NEAR(p.lightAngles[0][0], -315, 1e-4);
    EXPECT_EQ(p.modelAngles[0], 0);  // the model stays

    Move(MouseRight | MouseShift | MouseControl, 0, 0);
    Move(MouseRight | MouseShift | MouseControl, 0, 3);
    EXPECT_EQ(std::pair(p.lightDistance[0], p.lightDistance[1]), std::pair(390.0f, 300.0f));
    // Far upward: never below 10.
    Move(MouseRight | MouseShift | MouseControl, 0, -40);
    EXPECT_EQ(p.lightDistance[0], 10);
    EXPECT_EQ(p.zoomDistance, 300);
}

TEST_F(Camera, OtherKindsOnlyTrackTheDrag)
{
    p.resourceKind = KindXml;
    Move(MouseLeft | MouseRight, 0, 0);
    Move(MouseLeft | MouseRight, 30, 30);
    EXPECT_TRUE(r_local.leftDragActive && r_local.rightDragActive);
    EXPECT_EQ(std::tuple(p.modelAngles[0], p.zoomDistance, p.textureOffset[0]), std::tuple(0.0f, 0.0f, 0.0f));
}

// Model (x, y, z) is world (z, x, y): the centre of the bounds, raised by 32,
// seen from the largest extent plus 200.
TEST_F(Camera, FramingAModelAndTheEyeAndViewMatrix)
{
    R_FrameModel(p);
    EXPECT_EQ(std::pair(p.orbitCentre[2], p.zoomDistance), std::pair(512.0f, 1200.0f));
    p.modelAngles[1] = 33;
    R_FrameModelBounds(p, kMins, kMaxs);
    EXPECT_EQ(std::vector<float>(p.orbitCentre, p.orbitCentre + 3), (std::vector<float>{50, 0, 32}));
    EXPECT_EQ(std::tuple(p.zoomDistance, p.lightDistance[0], p.lightDistance[1]), std::tuple(300.0f, 300.0f, 300.0f));
    EXPECT_EQ(p.modelAngles[1], 33);  // left as it was

    R_PlaceEye(p);
    EXPECT_FLOAT_EQ(r_local.eyeOrigin[0], 350);
    EXPECT_FLOAT_EQ(r_local.eyeOrigin[2], 32);
    EXPECT_FLOAT_EQ(r_local.eyeAngles[1], 270);
    R_BuildViewMatrix();
    // Looking along -X: +Y right, +Z up, the centre straight ahead at the zoom distance.
    const float want[16] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -32, -350, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(r_local.viewMatrix[i], want[i], 1e-3) << i;

    // A zoom below 10 moves the eye through the centre without turning it.
    p.zoomDistance = 4;
    R_PlaceEye(p);
    EXPECT_FLOAT_EQ(r_local.eyeOrigin[0], 54);
    EXPECT_FLOAT_EQ(r_local.eyeAngles[1], 270);
}

}  // namespace
