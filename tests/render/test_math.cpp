// Vector and matrix math against values worked out by hand (GL itself checks the rotations).
#include "render/render.h"

#include <gtest/gtest.h>

namespace {

void ExpectVec(const float *got, float x, float y, float z, const char *what)
{
    EXPECT_NEAR(got[0], x, 1e-6) << what;
    EXPECT_NEAR(got[1], y, 1e-6) << what;
    EXPECT_NEAR(got[2], z, 1e-6) << what;
}

TEST(Math, AnglesToVectors)
{
    float f[3], r[3], u[3];
    const float zero[3] = {0, 0, 0}, down[3] = {90, 0, 0};
    Math_AnglesToVectors(zero, f, r, u);
    ExpectVec(f, 1, 0, 0, "forward");
    ExpectVec(r, 0, -1, 0, "right");
    ExpectVec(u, 0, 0, 1, "up");
    Math_AnglesToVectors(down, f, nullptr, nullptr);
    ExpectVec(f, 0, 0, -1, "pitch 90 looks down");
}

TEST(Math, InvertingAScaledOrientation)
{
    // Turned 90 degrees about Z, scaled by 2, moved to (10, 0, 4).
    const Orientation o = {{{0, -2, 0}, {2, 0, 0}, {0, 0, 2}}, {10, 0, 4}};
    Orientation inv;
    Math_InvertOrientation(o, inv);
    const float p[3] = {1, 2, 3};
    float there[3], back[3];
    Math_TransformPoint(o, p, there);
    ExpectVec(there, 10 - 4, 2, 4 + 6, "forward transform");
    Math_TransformPoint(inv, there, back);
    ExpectVec(back, 1, 2, 3, "round trip");

    // Rows within 0.001 of unit length are left as they are.
    const Orientation nearUnit = {{{1.0005f, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};
    Math_InvertOrientation(nearUnit, inv);
    EXPECT_EQ(inv.axis[0][0], 1.0005f);
}

TEST(Math, FieldOfViewAndPerspective)
{
    EXPECT_NEAR(Math_FovY(70, 100, 100), 70, 1e-4);
    float m[16];
    Math_PerspectiveMatrix(70, Math_FovY(70, 640, 480), 4, 65536, m);
    EXPECT_EQ(std::tuple(m[10], m[11], m[14], m[15]), std::tuple(-1.00012207f, -1.0f, -8.0f, 0.0f));
    EXPECT_NEAR(m[0], 1.428148, 1e-5);              // 1 / tan(35 degrees)
    EXPECT_NEAR(m[5] / m[0], 640.0 / 480.0, 1e-4);  // the vertical field follows the aspect
}

}  // namespace
