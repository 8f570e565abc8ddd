// Vector and matrix math over plain float arrays. Everything is single
// precision where it is stored; degrees become radians with pi/180 rounded to
// float, and divisions by pi use pi rounded to float.
#include "render/render.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kDegToRad = 0.0174532924f;
constexpr float kPi = 3.14159274f;

// Rotation of t degrees about one principal axis, as a 4x4 matrix.
void RotX(float t, float *m)
{
    const float c = std::cos(t * kDegToRad), s = std::sin(t * kDegToRad);
    Math_MatrixIdentity(m);
    m[5] = c;
    m[6] = s;
    m[9] = -s;
    m[10] = c;
}

// Opposite sense to RotX and RotZ: RotY(t) is the usual turn about Y by -t.
void RotY(float t, float *m)
{
    const float c = std::cos(t * kDegToRad), s = std::sin(t * kDegToRad);
    Math_MatrixIdentity(m);
    m[0] = c;
    m[2] = s;
    m[8] = -s;
    m[10] = c;
}

void RotZ(float t, float *m)
{
    const float c = std::cos(t * kDegToRad), s = std::sin(t * kDegToRad);
    Math_MatrixIdentity(m);
    m[0] = c;
    m[1] = s;
    m[4] = -s;
    m[5] = c;
}

// m = a x m
void MultiplyFromLeft(const float *a, float *m)
{
    float out[16];
    Math_MatrixMultiply(a, m, out);
    memcpy(m, out, sizeof out);
}

}  // namespace

void Math_MatrixIdentity(float *m)
{
    static constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(m, kIdentity, sizeof kIdentity);
}

void Math_MatrixMultiply(const float *a, const float *b, float *out)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = sum;
        }
}

void Math_MatrixTranslate(float *m, const float *v)
{
    for (int r = 0; r < 3; ++r) {
        m[12 + r] += m[r] * v[0];
        m[12 + r] += m[4 + r] * v[1];
        m[12 + r] += m[8 + r] * v[2];
    }
}

void Math_MatrixRotate(float *m, float angle, float x, float y, float z)
{
    float r[16], step[16];
    Math_MatrixIdentity(r);
    if (x != 0)
        RotX(angle * x, r);
    if (y != 0) {
        RotY(angle * y, step);
        MultiplyFromLeft(step, r);
    }
    if (z != 0) {
        RotZ(angle * z, step);
        MultiplyFromLeft(step, r);
    }
    float out[16];
    Math_MatrixMultiply(m, r, out);
    memcpy(m, out, sizeof out);
}

void Math_AnglesToVectors(const float *angles, float *forward, float *right, float *up)
{
    const float sp = std::sin(angles[0] * kDegToRad), cp = std::cos(angles[0] * kDegToRad);
    const float sy = std::sin(angles[1] * kDegToRad), cy = std::cos(angles[1] * kDegToRad);
    const float sr = std::sin(angles[2] * kDegToRad), cr = std::cos(angles[2] * kDegToRad);
    if (forward) {
        forward[0] = cp * cy;
        forward[1] = cp * sy;
        forward[2] = -sp;
    }
    if (right) {
        right[0] = cr * sy - sr * sp * cy;
        right[1] = -sr * sp * sy - cr * cy;
        right[2] = -sr * cp;
    }
    if (up) {
        up[0] = cr * sp * cy + sr * sy;
        up[1] = cr * sp * sy - sr * cy;
        up[2] = cr * cp;
    }
}

void Math_VectorToAngles(const float *v, float *angles)
{
    float pitch, yaw;
    if (v[0] == 0 && v[1] == 0) {
        yaw = 0;
        pitch = v[2] > 0 ? 90.0f : 270.0f;
    } else {
        if (v[0] != 0)
            yaw = std::atan2(v[1], v[0]) * 180.0f / kPi;
        else
            yaw = v[1] > 0 ? 90.0f : 270.0f;
        if (yaw < 0)
            yaw += 360;
        const float flat = std::sqrt(v[0] * v[0] + v[1] * v[1]);
        pitch = std::atan2(v[2], flat) * 180.0f / kPi;
        if (pitch < 0)
            pitch += 360;
    }
    // The pitch is kept negated: up is -90.
    angles[0] = -pitch;
    angles[1] = yaw;
    angles[2] = 0;
}

void Math_AddPointToBounds(const float *p, float *mins, float *maxs)
{
    for (int i = 0; i < 3; ++i) {
        if (mins[i] > p[i])
            mins[i] = p[i];
        if (maxs[i] < p[i])
            maxs[i] = p[i];
    }
}

void Math_InvertOrientation(const Orientation &in, Orientation &out)
{
    for (int r = 0; r < 3; ++r) {
        float *row = out.axis[r];
        for (int c = 0; c < 3; ++c)
            row[c] = in.axis[c][r];
        const float len = std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
        // A scaled axis of length k must come out as 1/k: the transpose keeps
        // k, so it is divided by k twice.
        if (len != 0 && std::fabs(1 - len) > 0.001f) {
            const float inv = 1 / len;
            for (int c = 0; c < 3; ++c)
                row[c] *= inv * inv;
        }
    }
    for (int r = 0; r < 3; ++r)
        out.origin[r] = 0 - out.axis[r][0] * in.origin[0] - out.axis[r][1] * in.origin[1] -
                        out.axis[r][2] * in.origin[2];
}

void Math_TransformPoint(const Orientation &o, const float *p, float *out)
{
    float result[3];
    for (int r = 0; r < 3; ++r)
        result[r] = o.axis[r][0] * p[0] + o.axis[r][1] * p[1] + o.axis[r][2] * p[2] + o.origin[r];
    memcpy(out, result, sizeof result);
}

float Math_FovY(float fovX, int width, int height)
{
    const float x = static_cast<float>(width) / std::tan(fovX / 360.0f * kPi);
    return std::atan(static_cast<float>(height) / x) * 360.0f / kPi;
}

void Math_PerspectiveMatrix(float fovX, float fovY, float zNear, float zFar, float *m)
{
    const float xmax = zNear * std::tan(fovX * kPi / 360.0f), xmin = -xmax;
    const float ymax = zNear * std::tan(fovY * kPi / 360.0f), ymin = -ymax;
    memset(m, 0, 16 * sizeof(float));
    m[0] = 2 * zNear / (xmax - xmin);
    m[5] = 2 * zNear / (ymax - ymin);
    m[10] = -1 - 2 * zNear / zFar;
    m[11] = -1;
    m[14] = -2 * zNear;
}

float Math_Sqrt(float v)
{
    return static_cast<float>(std::sqrt(static_cast<double>(v)));
}
