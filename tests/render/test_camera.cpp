// The camera, the lights and the mouse: drags over the GL view of a recording
// window, framing of a model's bounds, the eye and the view matrix.
#include "fake_window.h"
#include "render/render.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        viewer.viewHidden = false;
        viewer.preview.resourceKind = KindModel;
        view = window.GetControlRect(IdGlView);
    }
    void TearDown() override { ViewerState_Reset(); }

    // A move at (dx, dy) from a point well inside the view.
    void Move(int flags, int dx, int dy) { OnMouseMove(window, flags, view.x + 50 + dx, view.y + 50 + dy); }
    // A drag of `pixels` rows downward in one-pixel steps, after the press.
    void DragDown(int flags, int pixels)
    {
        Move(flags, 0, 0);
        for (int i = 1; i <= pixels; ++i)
            Move(flags, 0, i);
    }

    FakeWindow window;
    ControlRect view;
};

TEST_F(Camera, LeftDragTurnsTheModel)
{
    DragDown(MouseLeft, 100);
    // 0.35 is applied as the double nearest to the float 0.35.
    double pitch = 0;
    for (int i = 0; i < 100; ++i)
        pitch = static_cast<float>(std::fmod(pitch + 0.3499999940395355, 360.0));
    EXPECT_EQ(viewer.preview.modelAngles[0], static_cast<float>(pitch));
    EXPECT_NEAR(viewer.preview.modelAngles[0], 35, 1e-4);
    Move(MouseLeft, 40, 100);  // right: yaw 0.75 per pixel
    EXPECT_NEAR(viewer.preview.modelAngles[1], 30, 1e-4);
    EXPECT_EQ(viewer.preview.modelAngles[2], 0);

    // 1029 pixels downward, in drags of at most 300, wrap the pitch to near 0;
    // dragging up turns it negative.
    viewer.preview.modelAngles[0] = 0;
    for (int chunk : {300, 300, 300, 129}) {
        Move(0, 0, 0);  // button up: the last drag ends
        Move(MouseLeft, 0, 0);
        Move(MouseLeft, 0, chunk);
    }
    EXPECT_NEAR(viewer.preview.modelAngles[0], 0.15, 1e-3);
    Move(MouseLeft, 0, 89);
    EXPECT_NEAR(viewer.preview.modelAngles[0], 0.15 - 40 * 0.35, 1e-3);
    Move(MouseLeft, 0, 1000);  // outside the view: the drag ends without a delta
    EXPECT_FALSE(viewer.leftDragActive);
    EXPECT_NEAR(viewer.preview.modelAngles[0], 0.15 - 40 * 0.35, 1e-3);
}

TEST_F(Camera, DragsResumeWithoutAJumpAndEdgesAreOutside)
{
    viewer.preview.resourceKind = KindTexture;
    Move(MouseLeft, 0, 0);
    Move(MouseLeft, 10, 5);
    // Off the view (the left edge itself counts as outside), then back elsewhere.
    OnMouseMove(window, MouseLeft, view.x, view.y + 60);
    EXPECT_FALSE(viewer.leftDragActive);
    Move(MouseLeft, 100, 100);
    EXPECT_EQ(viewer.preview.textureOffset[0], 10);
    EXPECT_EQ(viewer.preview.textureOffset[1], 5);
    Move(MouseLeft, 103, 96);
    EXPECT_EQ(viewer.preview.textureOffset[0], 13);
    EXPECT_EQ(viewer.preview.textureOffset[1], 1);
    // A move with the button up ends the drag; the right button never slides.
    Move(0, 150, 150);
    Move(MouseRight, 150, 150);
    Move(MouseRight, 170, 190);
    EXPECT_EQ(viewer.preview.textureOffset[0], 13);

    // The last pixel inside each edge still counts.
    OnMouseMove(window, MouseLeft, view.x + view.width - 1, view.y + view.height - 1);
    EXPECT_TRUE(viewer.leftDragActive);
    OnMouseMove(window, MouseLeft, view.x + view.width, view.y + view.height - 1);
    EXPECT_FALSE(viewer.leftDragActive);

    // While the view is hidden every drag ends and nothing moves.
    Move(MouseLeft, 0, 0);
    viewer.viewHidden = true;
    Move(MouseLeft, 9, 9);
    EXPECT_FALSE(viewer.leftDragActive);
    EXPECT_EQ(viewer.preview.textureOffset[0], 13);
}

TEST_F(Camera, RightDragZoomsWithoutLimitAndPansWithControl)
{
    viewer.preview.zoomDistance = 300;
    R_PlaceEye();
    DragDown(MouseRight, 4);
    EXPECT_EQ(viewer.preview.zoomDistance, 420);
    Move(MouseRight, 0, -20);  // up 24 pixels: 720 units in
    EXPECT_EQ(viewer.preview.zoomDistance, -300);
    // Behind the centre, still looking along -X.
    EXPECT_FLOAT_EQ(viewer.eyeOrigin[0], -300);
    EXPECT_FLOAT_EQ(viewer.eyeAngles[0], 0);
    EXPECT_FLOAT_EQ(viewer.eyeAngles[1], 270);

    // Ctrl + right drag pans the centre against the camera's right (world +Y)
    // and along its up (world +Z): the model follows the mouse across.
    Move(MouseRight | MouseControl, 10, -20);
    EXPECT_NEAR(viewer.preview.orbitCentre[1], -10 * 20, 1e-3);
    EXPECT_NEAR(viewer.preview.orbitCentre[2], 0, 1e-3);
    Move(MouseRight | MouseControl, 10, -15);
    EXPECT_NEAR(viewer.preview.orbitCentre[2], 5 * 20, 1e-3);
    EXPECT_EQ(viewer.preview.zoomDistance, -300);  // no zoom while panning
}

TEST_F(Camera, ShiftSteersTheLights)
{
    const float mins[3] = {-10, -20, 0}, maxs[3] = {10, 20, 100};
    R_FrameModelBounds(mins, maxs);
    // Shift: light 1, senses reversed; Shift+Ctrl: light 0.
    Move(MouseLeft | MouseShift, 0, 0);
    Move(MouseLeft | MouseShift, 20, 10);
    EXPECT_NEAR(viewer.preview.lightAngles[1][0], -63.5 - 3.5, 1e-4);
    EXPECT_NEAR(viewer.preview.lightAngles[1][1], 90 - 15, 1e-4);
    EXPECT_NEAR(viewer.preview.lightAngles[0][0], -315, 1e-4);
    EXPECT_EQ(viewer.preview.modelAngles[0], 0);  // the model stays

    Move(MouseRight | MouseShift | MouseControl, 0, 0);
    Move(MouseRight | MouseShift | MouseControl, 0, 3);
    EXPECT_EQ(viewer.preview.lightDistance[0], 390);
    EXPECT_EQ(viewer.preview.lightDistance[1], 300);
    // Far upward: never below 10.
    Move(MouseRight | MouseShift | MouseControl, 0, -40);
    EXPECT_EQ(viewer.preview.lightDistance[0], 10);
    EXPECT_EQ(viewer.preview.zoomDistance, 300);
}

TEST_F(Camera, OtherKindsOnlyTrackTheDrag)
{
    viewer.preview.resourceKind = KindXml;
    Move(MouseLeft | MouseRight, 0, 0);
    Move(MouseLeft | MouseRight, 30, 30);
    EXPECT_TRUE(viewer.leftDragActive);
    EXPECT_TRUE(viewer.rightDragActive);
    EXPECT_EQ(viewer.preview.modelAngles[0], 0);
    EXPECT_EQ(viewer.preview.zoomDistance, 0);
    EXPECT_EQ(viewer.preview.textureOffset[0], 0);
}

TEST_F(Camera, FramingAModel)
{
    R_FrameModel();
    EXPECT_EQ(viewer.preview.orbitCentre[2], 512);
    EXPECT_EQ(viewer.preview.zoomDistance, 1200);
    viewer.preview.modelAngles[1] = 33;
    const float mins[3] = {-10, -20, 0}, maxs[3] = {10, 20, 100};
    R_FrameModelBounds(mins, maxs);
    EXPECT_EQ(viewer.preview.orbitCentre[0], 50);
    EXPECT_EQ(viewer.preview.orbitCentre[1], 0);
    EXPECT_EQ(viewer.preview.orbitCentre[2], 32);
    EXPECT_EQ(viewer.preview.zoomDistance, 300);
    EXPECT_EQ(viewer.preview.lightDistance[0], 300);
    EXPECT_EQ(viewer.preview.lightDistance[1], 300);
    EXPECT_EQ(viewer.preview.lightAngles[0][0], -315);
    EXPECT_EQ(viewer.preview.lightAngles[1][0], -63.5f);
    EXPECT_EQ(viewer.preview.lightAngles[1][1], 90);
    EXPECT_EQ(viewer.preview.modelAngles[1], 33);  // left as it was
}

TEST_F(Camera, EyeAndViewMatrixPutTheCentreAhead)
{
    const float mins[3] = {-10, -20, 0}, maxs[3] = {10, 20, 100};
    R_FrameModelBounds(mins, maxs);
    R_PlaceEye();
    EXPECT_FLOAT_EQ(viewer.eyeOrigin[0], 350);
    EXPECT_FLOAT_EQ(viewer.eyeOrigin[2], 32);
    EXPECT_FLOAT_EQ(viewer.eyeAngles[1], 270);
    R_BuildViewMatrix();
    const float *m = viewer.viewMatrix;
    auto eye = [m](float x, float y, float z, float *out) {
        for (int r = 0; r < 3; ++r)
            out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    };
    float c[3];
    eye(50, 0, 32, c);  // the centre: straight ahead at the zoom distance
    EXPECT_NEAR(c[0], 0, 1e-3);
    EXPECT_NEAR(c[1], 0, 1e-3);
    EXPECT_NEAR(c[2], -300, 1e-3);
    float up[3];
    eye(50, 0, 132, up);  // world +Z is up on the screen
    EXPECT_NEAR(up[1] - c[1], 100, 1e-3);
    float side[3];
    eye(50, 100, 32, side);  // world +Y is to the right
    EXPECT_NEAR(side[0] - c[0], 100, 1e-3);

    // A zoom below 10 moves the eye through the centre without turning it.
    viewer.preview.zoomDistance = 4;
    R_PlaceEye();
    EXPECT_FLOAT_EQ(viewer.eyeOrigin[0], 54);
    EXPECT_FLOAT_EQ(viewer.eyeAngles[1], 270);
}

}  // namespace
