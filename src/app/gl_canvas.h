// The GL view control on wxWidgets: a wxGLCanvas with the pixel format the
// viewer asks for, holding the one context the viewer draws with.
#pragma once

#include "render/render.h"

#include <wx/glcanvas.h>

#include <memory>

class GlCanvas : public wxGLCanvas, public GlSurface {
public:
    GlCanvas(wxWindow *parent, wxWindowID id, const wxPoint &position, const wxSize &size);
    // Releases the context first when the viewer still draws on this view.
    ~GlCanvas() override;

    bool IsOnScreen() const override { return IsShownOnScreen(); }
    bool CreateContext() override;
    bool MakeCurrent() override;
    void Present() override;
    void DeleteContext() override;

private:
    std::unique_ptr<wxGLContext> context_;
};
