// The GL context in a real Mesa context: capabilities, fallbacks, frame and lighting programs.
#include "gl_test_view.h"
#include "render/render_local.h"

#include <cmath>
#include <cstring>

namespace {

TEST_F(GlViewTest, DetectsCapabilitiesOnMesaAndFallsBackWhenTheyAreOff)
{
    EXPECT_TRUE(r_local.glReady && r_local.compressionSupported && r_local.programsSupported);

    EXPECT_EQ(r_local.vertexProgram, -1);
    GL_EnsurePrograms();
    EXPECT_TRUE(r_local.vertexProgram != -1 && r_local.fragmentProgram != -1 && r_local.programsSupported);
    const int32_t vertex = r_local.vertexProgram;
    GL_EnsurePrograms();  // loaded once
    EXPECT_EQ(r_local.vertexProgram, vertex);

    // A program that does not compile gives -1 and leaves the error position set.
    EXPECT_EQ(GL_LoadProgram(GL_VERTEX_PROGRAM_ARB, "!!ARBvp1.0\nMOV result.position, nonsense;\nEND\n"), -1);

    // Programs off: none loads.
    r_local.programsSupported = false;
    r_local.vertexProgram = r_local.fragmentProgram = -1;
    EXPECT_EQ(GL_LoadProgram(GL_VERTEX_PROGRAM_ARB, kLightingVertexProgram), -1);
    GL_EnsurePrograms();
    EXPECT_EQ(std::pair(r_local.vertexProgram, r_local.fragmentProgram), std::pair(-1, -1));

    // The next GL_Init (a resize) detects them again.
    ASSERT_TRUE(GL_Init(kWidth, kHeight));
    EXPECT_TRUE(r_local.programsSupported && r_local.compressionSupported);
}

TEST_F(GlViewTest, ExtensionWordsAreWholeNames)
{
    const char *list = "GL_ARB_vertex_program2 GL_EXT_texture3D GL_ARB_multitexture";
    for (auto [name, has] : {std::pair{"GL_ARB_vertex_program", false}, {"GL_EXT_texture3D", true},
                             {"GL_ARB_multitexture", true}, {"GL_ARB_multi", false}})
        EXPECT_EQ(GL_HasExtension(list, name), has) << name;
    EXPECT_FALSE(GL_HasExtension(nullptr, "GL_EXT_texture3D"));
}

// A resize restores the state a frame changed; a zero-sized view gets one pixel.
TEST_F(GlViewTest, ResizeRestoresTheInitialState)
{
    const struct {
        int width, height, viewWidth, viewHeight;
        float aspect;  // the vertical field follows it: half as high, about half the slope
    } sizes[] = {{200, 100, 200, 100, 2}, {0, 0, 1, 1, 1}};
    for (const auto &c : sizes) {
        glClearColor(1, 0, 0, 1);
        glDepthFunc(GL_ALWAYS);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        ASSERT_TRUE(GL_Init(c.width, c.height));
        GLfloat clear[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(std::vector<float>(clear, clear + 4), (std::vector<float>{0.25f, 0.25f, 0.25f, 1.0f}));
        GLint depthFunc = 0, viewport[4] = {};
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        EXPECT_EQ(depthFunc, GL_LEQUAL);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D) && glIsEnabled(GL_DEPTH_TEST));
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::tuple(viewport[2], viewport[3], r_local.viewWidth, r_local.viewHeight),
                  std::tuple(c.viewWidth, c.viewHeight, c.viewWidth, c.viewHeight));
        for (float v : r_local.projectionMatrix)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_NEAR(r_local.projectionMatrix[5] / r_local.projectionMatrix[0], c.aspect, 1e-4);
    }
}

TEST_F(GlViewTest, AFrameOfNothingIsGreyAndEndsInModelview)
{
    viewer.viewHidden = false;
    viewer.preview.resourceKind = KindText;
    viewer.preview.CurrentResource = {'t', 'e', 'x', 't'};
    for (int i = 0; i < 3; ++i)
        App_DrawViewFrame();
    EXPECT_EQ(At(0, 0), kClearGrey);
    EXPECT_EQ(At(kWidth / 2, kHeight / 2), kClearGrey);
    GLint mode = 0, modelDepth = 0, projectionDepth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    EXPECT_EQ(std::tuple(mode, modelDepth, projectionDepth), std::tuple(GL_MODELVIEW, 1, 1));
    // The camera matrix is what the frame leaves on the modelview stack.
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(memcmp(modelview, r_local.viewMatrix, sizeof modelview), 0);

    // GL_RunFrame without a context draws and swaps nothing.
    static int drawn;
    drawn = 0;
    r_local.frameCallback = [] { ++drawn; };
    GL_RunFrame();
    EXPECT_EQ(drawn, 1);
    r_local.glReady = false;
    GL_RunFrame();
    EXPECT_EQ(drawn, 1);
}

// The model's GL rotation and its CPU twin agree, Y turns included.
TEST_F(GlViewTest, ModelOrientationMatchesItsCpuTwin)
{
    const float angles[][3] = {{0, 0, 0}, {35, 0, 0}, {0, 75, 0}, {-20, 130, 0}, {12.5f, -300, 45}};
    for (const auto &a : angles) {
        memcpy(viewer.preview.modelAngles, a, sizeof a);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        R_ApplyModelOrientation(viewer.preview);
        float gl[16], cpu[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, gl);
        R_ModelOrientationMatrix(viewer.preview, cpu);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(gl[i], cpu[i], 1e-5) << "angles " << a[0] << "," << a[1] << "," << a[2] << " [" << i << "]";
    }
}

// One solid-colour texture on a unit, as the programs sample it.
GLuint SolidTexture(GLenum unit, const unsigned char rgba[4])
{
    GLuint name = 0;
    glProcs.glActiveTextureARB(unit);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// A 64-pixel quad facing +Z in 2D pixel space, lit by the programs with both
// lights at `lightZ` on the normal's axis.
void DrawLitQuad(float lightZ, const unsigned char gloss[4])
{
    const unsigned char diffuse[4] = {200, 100, 50, 255};
    const unsigned char flat[4] = {0, 128, 0, 128};  // alpha and green at half: the normal is +Z
    SolidTexture(GL_TEXTURE0_ARB, diffuse);
    SolidTexture(GL_TEXTURE1_ARB, flat);
    SolidTexture(GL_TEXTURE2_ARB, gloss);

    glProcs.glBindProgramARB(GL_VERTEX_PROGRAM_ARB, r_local.vertexProgram);
    glProcs.glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, r_local.fragmentProgram);
    glEnable(GL_VERTEX_PROGRAM_ARB);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
    const float light[4] = {32, 32, lightZ, 1}, eye[4] = {32, 32, 500, 1};
    const float specular[4] = {1, 1, 1, 8};
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 0, light);
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 1, light);
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 2, eye);
    glProcs.glProgramEnvParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB, 0, specular);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    R_Begin2D();
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{0, 0}, {64, 0}, {64, 64}, {0, 64}};
    for (const auto &c : corners) {
        glProcs.glVertexAttrib3fARB(5, 0, 0, 1);  // normal
        glProcs.glVertexAttrib3fARB(6, 0, 1, 0);  // tangent
        glProcs.glVertexAttrib3fARB(7, 1, 0, 0);  // bitangent
        glTexCoord2f(c[0] / 64, c[1] / 64);
        glVertex3f(c[0], c[1], 0);
    }
    glEnd();
    glDisable(GL_VERTEX_PROGRAM_ARB);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glProcs.glActiveTextureARB(GL_TEXTURE0_ARB);
}

TEST_F(GlViewTest, LightingProgramsLightTheDiffuseMap)
{
    GL_EnsurePrograms();
    ASSERT_TRUE(r_local.programsSupported);
    const unsigned char noGloss[4] = {0, 0, 0, 0}, gloss[4] = {255, 255, 255, 255};
    const struct {
        float lightZ;
        const unsigned char *gloss;
        Pixel lit;
    } cases[] = {
        {300, noGloss, {200, 100, 50}},  // a light straight above the surface: full diffuse colour
        {-300, noGloss, {15, 8, 4}},     // lights behind it: the 0.075 floor of the diffuse colour
        {300, gloss, {255, 255, 150}},   // a white specular map adds both highlights: three times, clamped
    };
    for (const auto &c : cases) {
        DrawLitQuad(c.lightZ, c.gloss);
        EXPECT_TRUE(Near(At(32, 32), c.lit, 2)) << At(32, 32);
    }
}

}  // namespace
