// The view's current frame as a picture: drawn once more into an offscreen
// framebuffer of the view's size times a factor, and read back.
#include "render/render_local.h"
#include "render/gl_procs.h"

#include <cstring>

namespace {

struct FramebufferProcs {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
};

// On GLX every name gives an address, so what the driver offers is read from
// the extension string first.
bool LoadFramebufferProcs(FramebufferProcs &f)
{
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (!GL_HasExtension(extensions, "GL_ARB_framebuffer_object"))
        return false;
    f.genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(GL_GetProcAddress("glGenFramebuffers"));
    f.deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(GL_GetProcAddress("glDeleteFramebuffers"));
    f.bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(GL_GetProcAddress("glBindFramebuffer"));
    f.genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(GL_GetProcAddress("glGenRenderbuffers"));
    f.deleteRenderbuffers =
        reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(GL_GetProcAddress("glDeleteRenderbuffers"));
    f.bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(GL_GetProcAddress("glBindRenderbuffer"));
    f.renderbufferStorage =
        reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(GL_GetProcAddress("glRenderbufferStorage"));
    f.framebufferRenderbuffer =
        reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(GL_GetProcAddress("glFramebufferRenderbuffer"));
    f.checkFramebufferStatus =
        reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(GL_GetProcAddress("glCheckFramebufferStatus"));
    return f.genFramebuffers && f.deleteFramebuffers && f.bindFramebuffer && f.genRenderbuffers &&
           f.deleteRenderbuffers && f.bindRenderbuffer && f.renderbufferStorage && f.framebufferRenderbuffer &&
           f.checkFramebufferStatus;
}

// A colour and a depth-stencil buffer, released with the object.
class Offscreen {
public:
    Offscreen(const FramebufferProcs &f, int width, int height) : f_(f)
    {
        f_.genFramebuffers(1, &framebuffer_);
        f_.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        f_.genRenderbuffers(2, buffers_);
        f_.bindRenderbuffer(GL_RENDERBUFFER, buffers_[0]);
        f_.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        f_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers_[0]);
        f_.bindRenderbuffer(GL_RENDERBUFFER, buffers_[1]);
        f_.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        f_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers_[1]);
        f_.bindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    ~Offscreen()
    {
        f_.bindFramebuffer(GL_FRAMEBUFFER, 0);
        f_.deleteRenderbuffers(2, buffers_);
        f_.deleteFramebuffers(1, &framebuffer_);
    }
    Offscreen(const Offscreen &) = delete;
    Offscreen &operator=(const Offscreen &) = delete;
    bool Complete() const { return f_.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE; }

private:
    const FramebufferProcs &f_;
    GLuint framebuffer_ = 0;
    GLuint buffers_[2] = {};
};

}  // namespace

bool R_CaptureView(int scale, bool transparent, TextureImage &out)
{
    out = TextureImage{};
    const RenderLocal &r = r_local;
    if (scale < 1 || scale > kCaptureMaxScale || !r.glReady || !r.glWindow || !r.glWindow->MakeCurrent())
        return false;
    FramebufferProcs procs;
    if (!LoadFramebufferProcs(procs))
        return false;
    const int width = r.viewWidth * scale, height = r.viewHeight * scale;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (width > largest || height > largest)
        return false;
    while (glGetError() != GL_NO_ERROR) {
    }
    Offscreen offscreen(procs, width, height);
    if (!offscreen.Complete())
        return false;

    // The pixel projection stays the view's, so the larger viewport draws the
    // same frame with every pixel `scale` times over. Every fragment drawn
    // marks the stencil: those left unmarked are the background.
    glViewport(0, 0, width, height);
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    if (r.frameCallback)
        r.frameCallback();
    glDisable(GL_STENCIL_TEST);

    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(height);
    out.rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    std::vector<uint8_t> stencil(static_cast<size_t>(width) * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out.rgba.data());
    glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    glViewport(0, 0, r.viewWidth, r.viewHeight);
    const bool failed = glGetError() != GL_NO_ERROR;

    // GL's rows run bottom-up; a picture's top-down. The alpha the drawing
    // left says nothing a viewer of the picture wants: drawn pixels are opaque.
    const size_t row = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> swap(row);
    for (int y = 0; y < height / 2; ++y) {
        uint8_t *top = out.rgba.data() + static_cast<size_t>(y) * row;
        uint8_t *bottom = out.rgba.data() + static_cast<size_t>(height - 1 - y) * row;
        memcpy(swap.data(), top, row);
        memcpy(top, bottom, row);
        memcpy(bottom, swap.data(), row);
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t *marks = stencil.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width);
        uint8_t *pixel = out.rgba.data() + static_cast<size_t>(y) * row;
        for (int x = 0; x < width; ++x, pixel += 4)
            pixel[3] = (!transparent || marks[x]) ? 255 : 0;
    }
    if (failed)
        out = TextureImage{};
    return !failed;
}
