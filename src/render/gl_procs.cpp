// The one place that asks the window system's binding for GL entry points.
#include "render/gl_procs.h"

#include <GL/glx.h>

#include <cstring>

GlEntryPoints glProcs;

GlProc GL_GetProcAddress(const char *name)
{
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
}

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
