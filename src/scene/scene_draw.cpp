// The model pass of a frame: the selected model's surfaces from client-side
// arrays, lit by the two lights with fixed-function lighting, or by the
// lighting programs where a surface's material has a normal map. Every
// surface leaves the GL state as the pass found it.
#include "scene/scene.h"

#include "render/gl_procs.h"
#include "render/render.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr GLsizei kStride = sizeof(ModelVertex);

struct PassState {
    PreviewState *preview;  // the selection drawn; a scrolling texture marks it animating
    float lights[2][4];     // light positions in model space, w = 1
    float eyeModel[4];      // the eye in model space; w is not used
    bool programs;          // the lighting programs can be used
    int32_t vertexProgram;
    int32_t fragmentProgram;
};

// The eye's position relative to the model: the model rotation built on the
// CPU, inverted, applied to the eye.
void EyeInModelSpace(const PreviewState &preview, float out[4])
{
    float m[16];
    R_ModelOrientationMatrix(preview, m);
    Orientation o;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            o.axis[r][c] = m[4 * c + r];
        o.origin[r] = m[12 + r];
    }
    Orientation inverse;
    Math_InvertOrientation(o, inverse);
    float eyeOrigin[3], eyeAngles[3];
    R_Eye(eyeOrigin, eyeAngles);
    Math_TransformPoint(inverse, eyeOrigin, out);
    out[3] = 0;
}

void ActiveUnit(GLenum unit)
{
    glProcs.glActiveTextureARB(unit);
    glProcs.glClientActiveTextureARB(unit);
}

void BindProgramPath(const Material &m, const PassState &pass)
{
    glDisable(GL_LIGHT1);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    glEnable(GL_VERTEX_PROGRAM_ARB);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
    glProcs.glBindProgramARB(GL_VERTEX_PROGRAM_ARB, static_cast<GLuint>(pass.vertexProgram));
    glProcs.glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, static_cast<GLuint>(pass.fragmentProgram));

    // Without a specular map the diffuse map stands in, with a black specular colour.
    float specular[4] = {0, 0, 0, m.specularExponent};
    ActiveUnit(GL_TEXTURE2_ARB);
    glEnable(GL_TEXTURE_2D);
    if (m.specularTexture != 0) {
        specular[0] = specular[1] = specular[2] = 1;
        glBindTexture(GL_TEXTURE_2D, m.specularTexture);
    } else {
        glBindTexture(GL_TEXTURE_2D, m.diffuseTexture);
    }
    ActiveUnit(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m.normalTexture);
    ActiveUnit(GL_TEXTURE0_ARB);

    glProcs.glProgramEnvParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB, 0, specular);
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 0, pass.lights[0]);
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 1, pass.lights[1]);
    glProcs.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, 2, pass.eyeModel);
}

void DrawSurface(const ModelSurface &s, const PassState &pass)
{
    const Material *m = s.material;
    const ModelVertex *v = s.vertices.data();
    bool scrolled = false;
    if (!m) {
        // Untextured, and face culling stays off until a surface with a
        // material restores it.
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
    } else {
        if (m->alphaRef > 0) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GREATER, m->alphaRef);
        }
        if (m->blendSrc != 0) {
            glEnable(GL_BLEND);
            glBlendFunc(m->blendSrc, m->blendDst);
        }
        if (m->noDepthWrite)
            glDepthMask(GL_FALSE);
        if (m->noDepthTest)
            glDisable(GL_DEPTH_TEST);
        if (m->noCull)
            glDisable(GL_CULL_FACE);
        if (m->normalTexture != 0 && pass.programs) {
            BindProgramPath(*m, pass);
            for (GLuint a : {5u, 6u, 7u})
                glProcs.glEnableVertexAttribArrayARB(a);
            glProcs.glVertexAttribPointerARB(5, 3, GL_FLOAT, GL_TRUE, kStride, v->normal);
            glProcs.glVertexAttribPointerARB(6, 3, GL_FLOAT, GL_TRUE, kStride, v->tangent);
            glProcs.glVertexAttribPointerARB(7, 3, GL_FLOAT, GL_TRUE, kStride, v->bitangent);
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m->diffuseTexture);
        if (m->uVelocity != 0 || m->vVelocity != 0) {
            scrolled = true;
            pass.preview->animating = true;  // the next frame shows the texture further on
            const uint32_t now = Clock_Milliseconds(0);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
            glTranslatef(Model_ScrollOffset(now, m->uVelocity), Model_ScrollOffset(now, m->vVelocity), 0);
            glMatrixMode(GL_MODELVIEW);
        }
    }

    glVertexPointer(3, GL_FLOAT, kStride, v->position);
    glNormalPointer(GL_FLOAT, kStride, v->normal);
    glTexCoordPointer(2, GL_FLOAT, kStride, &v->u);
    glDrawElements(s.indicesPerElement == 1 ? GL_TRIANGLE_STRIP : GL_TRIANGLES,
                   s.elementCount * s.indicesPerElement, GL_UNSIGNED_SHORT, s.indices.data());
    if (!m)
        return;

    if (scrolled) {
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHT0);
    if (pass.programs) {
        for (GLuint a : {5u, 6u, 7u})
            glProcs.glDisableVertexAttribArrayARB(a);
        glDisable(GL_VERTEX_PROGRAM_ARB);
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
        ActiveUnit(GL_TEXTURE2_ARB);
        glDisable(GL_TEXTURE_2D);
        ActiveUnit(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        ActiveUnit(GL_TEXTURE0_ARB);
    }
}

}  // namespace

void Model_Draw(PreviewState &preview, const SceneSources &sources, std::vector<std::string> &surfaceRows)
{
    if (preview.CurrentResource.empty() || preview.resourceKind != KindModel)
        return;
    // This frame's view was built from the eye the previous frame placed. When
    // the eye placed now differs (the camera framed a new model last frame),
    // or the preparation frames it, frames are asked for until the view
    // catches up: the window draws only when asked.
    float eyeBefore[6], eyeNow[6];
    R_Eye(eyeBefore, eyeBefore + 3);
    R_PlaceEye(preview);
    R_Eye(eyeNow, eyeNow + 3);
    if (memcmp(eyeBefore, eyeNow, sizeof eyeNow) != 0)
        R_RequestRedraw();
    // Before the preparation: on a selection's first frame this uses the
    // camera as it was before the framing.
    PassState pass;
    pass.preview = &preview;
    EyeInModelSpace(preview, pass.eyeModel);
    if (!preview.previewPrepared) {
        surfaceRows = Model_Prepare(preview, sources);
        R_RequestRedraw();
    }
    preview.animating = false;  // until a drawn surface scrolls
    const Model *model = preview.model;
    if (!model)
        return;
    GL_EnsurePrograms();
    pass.programs = R_LightingPrograms(pass.vertexProgram, pass.fragmentProgram);

    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glPushMatrix();
    R_ApplyModelOrientation(preview);
    R_SetupLights(preview);
    R_LightPositions(preview, pass.lights);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (const ModelSurface &s : model->surfaces)
        if (!s.hidden)
            DrawSurface(s, pass);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glPopMatrix();
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHT1);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
}
