// The GL context on the view control: creation and refresh on every resize,
// the optional capabilities (compressed upload, lighting programs), their
// entry points, the projection, the programs, and the release at shut-down.
#include "render/gl_procs.h"
#include "render/render_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kFovX = 70;
constexpr float kZNear = 4;
constexpr float kZFar = 65536;

template <typename Proc>
bool Fetch(Proc &slot, const char *name)
{
    slot = reinterpret_cast<Proc>(GL_GetProcAddress(name));
    return slot != nullptr;
}

}  // namespace

bool GL_Init(int width, int height)
{
    RenderLocal &r = r_local;
    GlSurface *surface = r.glWindow;
    // GTK makes a context current only on a view shown on screen; the window
    // runs GL_Init again when the view shows.
    if (!surface || !surface->IsOnScreen())
        return false;
    if (!r.glReady) {
        if (!surface->CreateContext())
            return false;
    }
    if (!surface->MakeCurrent())
        return false;

    GL_CheckExtensions();

    // A texture at actual size is one texel per pixel of the screen.
    r.viewScale = static_cast<float>(surface->PixelScale() > 0 ? surface->PixelScale() : 1.0);
    r.viewWidth = std::max(1, static_cast<int>(std::lround(width * r.viewScale)));
    r.viewHeight = std::max(1, static_cast<int>(std::lround(height * r.viewScale)));
    glViewport(0, 0, r.viewWidth, r.viewHeight);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    GL_SetProjection(kFovX, Math_FovY(kFovX, r.viewWidth, r.viewHeight), kZNear, kZFar);
    glGetFloatv(GL_PROJECTION_MATRIX, r.projectionMatrix);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    r.glReady = true;
    // A new context or a new size: what was drawn is gone or out of shape.
    r.redrawPending = true;
    return true;
}

void GL_SetProjection(float fovX, float fovY, float zNear, float zFar)
{
    float m[16];
    Math_PerspectiveMatrix(fovX, fovY, zNear, zFar, m);
    glLoadMatrixf(m);
}

void GL_CheckExtensions()
{
    RenderLocal &r = r_local;
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (!extensions || !*extensions)
        return;
    r.programsSupported = GL_LoadProgramEntryPoints();

    r.compressionSupported = false;
    if (!strstr(extensions, "GL_ARB_texture_compression") || !strstr(extensions, "GL_EXT_texture_compression_s3tc"))
        return;
    if (!Fetch(glProcs.glCompressedTexImage2DARB, "glCompressedTexImage2DARB"))
        return;
    Fetch(glProcs.glGetCompressedTexImageARB, "glGetCompressedTexImageARB");  // may be missing
    r.compressionSupported = true;
    glHint(GL_TEXTURE_COMPRESSION_HINT_ARB, GL_NICEST);
}

bool GL_LoadProgramEntryPoints()
{
    GLint units = 0, imageUnits = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &imageUnits);
    if (units < 4 || imageUnits < 4)
        return false;
    GLint attributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &attributes);
    if (attributes < 10)
        return false;

    // A fetched pointer proves nothing on GLX (every name gives one): the
    // extension string says what the driver really offers.
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    for (const char *name : {"GL_ARB_vertex_program", "GL_ARB_fragment_program", "GL_ARB_multitexture"})
        if (!GL_HasExtension(extensions, name))
            return false;

    if (!Fetch(glProcs.glGetProgramivARB, "glGetProgramivARB"))
        return false;
    GLint localParameters = 0;
    glProcs.glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_LOCAL_PARAMETERS_ARB, &localParameters);
    if (localParameters < 64)
        return false;

#define GL_FETCH_ENTRY(type, name)          \
    if (!Fetch(glProcs.name, #name))        \
        return false;
    GL_PROGRAM_ENTRY_POINTS(GL_FETCH_ENTRY)
#undef GL_FETCH_ENTRY

    return Fetch(glProcs.glTexImage3DEXT, "glTexImage3DEXT") && GL_HasExtension(extensions, "GL_EXT_texture3D");
}

int32_t GL_LoadProgram(uint32_t target, const char *text)
{
    if (!r_local.programsSupported)
        return -1;
    GLuint id = 0;
    glProcs.glGenProgramsARB(1, &id);
    glProcs.glBindProgramARB(target, id);
    glProcs.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(strlen(text)), text);
    GLint errorPosition = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    return errorPosition == -1 ? static_cast<int32_t>(id) : -1;
}

void GL_EnsurePrograms()
{
    RenderLocal &r = r_local;
    if (!r.programsSupported || (r.vertexProgram != -1 && r.fragmentProgram != -1))
        return;
    r.vertexProgram = GL_LoadProgram(GL_VERTEX_PROGRAM_ARB, kLightingVertexProgram);
    if (r.vertexProgram == -1)
        r.programsSupported = false;
    r.fragmentProgram = GL_LoadProgram(GL_FRAGMENT_PROGRAM_ARB, kLightingFragmentProgram);
    if (r.fragmentProgram == -1)
        r.programsSupported = false;
}

void GL_Release()
{
    RenderLocal &r = r_local;
    r.glReady = false;
    if (r.glWindow)
        r.glWindow->DeleteContext();
    // Programs and textures went with the context; a later context compiles afresh.
    r.vertexProgram = r.fragmentProgram = -1;
}

void R_ForgetSurface(GlSurface *surface)
{
    if (r_local.glWindow != surface)
        return;
    GL_Release();
    r_local.glWindow = nullptr;
}
