// Vector and matrix math against values worked out by hand: rotation senses,
// angles from vectors, inversion, the field of view and the perspective matrix.
#include "render/render.h"

#include <gtest/gtest.h>

namespace {

void ExpectVec(const float *got, float x, float y, float z, const char *what, double tolerance = 1e-6)
{
    EXPECT_NEAR(got[0], x, tolerance) << what;
    EXPECT_NEAR(got[1], y, tolerance) << what;
    EXPECT_NEAR(got[2], z, tolerance) << what;
}

TEST(Math, RotationSenses)
{
    // angle, axis, the axis (0 x, 1 y, 2 z) whose image is read, where it must land.
    const struct {
        float angle, x, y, z;
        int from;
        float to[3];
    } cases[] = {
        {90, 1, 0, 0, 1, {0, 0, 1}},    // X: usual sense
        {90, 0, 0, 1, 0, {0, 1, 0}},    // Z: usual sense
        {90, 0, 1, 0, 0, {0, 0, 1}},    // Y: opposite to glRotatef
        {-90, 0, 1, 0, 0, {0, 0, -1}},  // so -90 is glRotatef(90, 0, 1, 0)
        {90, -1, 0, 0, 1, {0, 0, -1}},  // a negative axis turns back
        {90, 0, 0, 0, 0, {1, 0, 0}},    // no axis: unchanged
    };
    for (const auto &c : cases) {
        float m[16];
        Math_MatrixIdentity(m);
        Math_MatrixRotate(m, c.angle, c.x, c.y, c.z);
        ExpectVec(m + 4 * c.from, c.to[0], c.to[1], c.to[2], "rotation");  // column i is the image of axis i
    }
    // m = m x R: a rotation after a translation keeps the translation.
    float m[16];
    Math_MatrixIdentity(m);
    const float v[3] = {1, 2, 3};
    Math_MatrixTranslate(m, v);
    Math_MatrixRotate(m, 90, 0, 0, 1);
    ExpectVec(m + 12, 1, 2, 3, "translation kept");
    Math_MatrixTranslate(m, v);  // now along the turned axes: x -> y, y -> -x
    ExpectVec(m + 12, 1 - 2, 2 + 1, 6, "translation turned");
}

TEST(Math, AnglesAndVectors)
{
    float f[3], r[3], u[3];
    const float zero[3] = {0, 0, 0};
    Math_AnglesToVectors(zero, f, r, u);
    ExpectVec(f, 1, 0, 0, "forward");
    ExpectVec(r, 0, -1, 0, "right");
    ExpectVec(u, 0, 0, 1, "up");
    const float down[3] = {90, 0, 0};
    Math_AnglesToVectors(down, f, nullptr, nullptr);
    ExpectVec(f, 0, 0, -1, "pitch 90 looks down");

    const struct {
        float v[3], angles[2];
    } cases[] = {
        {{-1, 0, 0}, {0, 180}}, {{0, 0, 1}, {-90, 0}},  {{0, 0, -1}, {-270, 0}}, {{0, -1, 0}, {0, 270}},
        {{0, 1, 0}, {0, 90}},   {{1, 1, 0}, {0, 45}},   {{1, 0, 1}, {-45, 0}},
        {{1, 0, -1}, {-315, 0}},  // below the horizon: between -360 and -270
    };
    for (const auto &c : cases) {
        float a[3];
        Math_VectorToAngles(c.v, a);
        ExpectVec(a, c.angles[0], c.angles[1], 0, "angles", 1e-4);
    }
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
    EXPECT_LT(Math_FovY(70, 400, 200), 70);
    float m[16];
    Math_PerspectiveMatrix(70, Math_FovY(70, 640, 480), 4, 65536, m);
    EXPECT_EQ(m[14], -8.0f);
    EXPECT_EQ(m[10], -1.00012207f);
    EXPECT_EQ(m[11], -1.0f);
    EXPECT_EQ(m[15], 0.0f);
    EXPECT_NEAR(m[0], 1.428148, 1e-5);              // 1 / tan(35 degrees)
    EXPECT_NEAR(m[5] / m[0], 640.0 / 480.0, 1e-4);  // the vertical field follows the aspect
}

}  // namespace
