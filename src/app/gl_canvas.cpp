// The GL view control: RGBA with 8-bit alpha, double buffered, 24-bit depth,
// 8-bit stencil, a compatibility context.
#include "app/gl_canvas.h"

#include <wx/dcclient.h>

namespace {

wxGLAttributes PixelFormat()
{
    wxGLAttributes wanted;
    wanted.PlatformDefaults().RGBA().MinRGBA(8, 8, 8, 8).DoubleBuffer().Depth(24).Stencil(8).EndList();
    if (wxGLCanvas::IsDisplaySupported(wanted))
        return wanted;
    // A display without alpha visuals still gets the rest of the format.
    wxGLAttributes plain;
    plain.PlatformDefaults().RGBA().MinRGBA(8, 8, 8, 0).DoubleBuffer().Depth(24).Stencil(8).EndList();
    return plain;
}

}  // namespace

GlCanvas::GlCanvas(wxWindow *parent, wxWindowID id, const wxPoint &position, const wxSize &size)
    : wxGLCanvas(parent, PixelFormat(), id, position, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE)
{
    // Frames come from the timer; a paint (an expose) only asks it for one,
    // since what the view showed may be gone.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent &) {
        wxPaintDC acknowledge(this);
        R_RequestRedraw();
    });
}

GlCanvas::~GlCanvas()
{
    R_ForgetSurface(this);
    DeleteContext();
}

bool GlCanvas::CreateContext()
{
    if (context_)
        return true;
    wxGLContextAttrs attributes;
    attributes.PlatformDefaults().CompatibilityProfile().EndList();
    auto context = std::make_unique<wxGLContext>(this, nullptr, &attributes);
    if (!context->IsOK())
        return false;
    context_ = std::move(context);
    return true;
}

bool GlCanvas::MakeCurrent()
{
    // wx asserts when a context is made current on a hidden canvas.
    return context_ && IsShownOnScreen() && context_->SetCurrent(*this);
}

void GlCanvas::Present()
{
    SwapBuffers();
}

void GlCanvas::DeleteContext()
{
    context_.reset();
}
