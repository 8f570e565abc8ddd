// The one place that asks the window system's binding for GL entry points.
#include "render/gl_procs.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <GL/glx.h>
#endif

#include <cstring>

GlEntryPoints glProcs;

#ifdef _WIN32
GlProc GL_GetProcAddress(const char *name)
{
    // WGL gives only what the driver adds; the GL 1.1 functions are
    // opengl32.dll's own exports. Some drivers answer 1, 2, 3 or -1 for
    // "none" instead of null.
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<intptr_t>(proc);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1)
        proc = GetProcAddress(GetModuleHandleA("opengl32.dll"), name);
    return reinterpret_cast<GlProc>(proc);
}
#else
GlProc GL_GetProcAddress(const char *name)
{
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
}
#endif

bool GL_HasExtension(const char *extensions, const char *name)
{
    if (!extensions || !name || !*name)
        return false;
    const size_t length = strlen(name);
    for (const char *p = extensions; (p = strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == extensions || p[-1] == ' ';
        const bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends)
            return true;
    }
    return false;
}
