// The GL entry points the viewer fetches at run time, and the one function
// that fetches them from the current binding. Include only from GL code.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// Fetched in this order by GL_LoadProgramEntryPoints; all of them must be
// there for the lighting programs to be used.
#define GL_PROGRAM_ENTRY_POINTS(X) \
    X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB) \
    X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB) \
    X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB) \
    X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB) \
    X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB) \
    X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB) \
    X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB) \
    X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB) \
    X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB) \
    X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB) \
    X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB) \
    X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB) \
    X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB) \
    X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB) \
    X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB) \
    X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB) \
    X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB) \
    X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB) \
    X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB) \
    X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB) \
    X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB) \
    X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB) \
    X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB) \
    X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB) \
    X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB) \
    X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB) \
    X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB) \
    X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB) \
    X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB) \
    X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB) \
    X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB) \
    X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB) \
    X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB) \
    X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB) \
    X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB) \
    X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB) \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB) \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB) \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB) \
    X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB) \
    X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB) \
    X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB) \
    X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB) \
    X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB) \
    X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB) \
    X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB) \
    X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB) \
    X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB) \
    X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB) \
    X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB) \
    X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB) \
    X(PFNGLMULTITEXCOORD2IARBPROC, glMultiTexCoord2iARB) \
    X(PFNGLMULTITEXCOORD3FARBPROC, glMultiTexCoord3fARB) \
    X(PFNGLMULTITEXCOORD3FVARBPROC, glMultiTexCoord3fvARB) \
    X(PFNGLMULTITEXCOORD2FVARBPROC, glMultiTexCoord2fvARB) \
    X(PFNGLACTIVETEXTUREARBPROC, glActiveTextureARB) \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, glClientActiveTextureARB)

struct GlEntryPoints {
    PFNGLGETPROGRAMIVARBPROC glGetProgramivARB;
#define GL_ENTRY_MEMBER(type, name) type name;
    GL_PROGRAM_ENTRY_POINTS(GL_ENTRY_MEMBER)
#undef GL_ENTRY_MEMBER
    PFNGLTEXIMAGE3DEXTPROC glTexImage3DEXT;
    PFNGLCOMPRESSEDTEXIMAGE2DARBPROC glCompressedTexImage2DARB;
    PFNGLGETCOMPRESSEDTEXIMAGEARBPROC glGetCompressedTexImageARB;
};

// Filled by GL_CheckExtensions on every GL_Init; valid while the context lives.
extern GlEntryPoints glProcs;

using GlProc = void (*)();
// The named entry point of the current binding, or null. On GLX the result is
// never null, even for names the driver lacks: what is offered is read from
// the extension string.
GlProc GL_GetProcAddress(const char *name);

// Whether `extensions` (the space-separated GL_EXTENSIONS string) names `name`
// as a whole word.
bool GL_HasExtension(const char *extensions, const char *name);
