// A real GL view for tests; frames are read back with glReadPixels.
#pragma once

#include "app/gl_canvas.h"
#include "app/services.h"
#include "fixtures.h"
#include "render/gl_procs.h"
#include "seam_window.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/image.h>

#include <vector>

struct Pixel {
    int r, g, b;
    bool operator==(const Pixel &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Pixel &p)
{
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

inline bool Near(const Pixel &a, const Pixel &b, int tolerance = 1)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Whether `p` is the colour a DXT block of colour `c` decodes to, within a step.
inline bool ShowsBlock(const Pixel &p, Rgb c)
{
    const Rgb q = Fixture_Quantise(c);
    return Near(p, {q.r, q.g, q.b});
}

// What the screen shows of `window` (the part of it inside the screen).
wxImage ScreenImage(wxWindow *window);  // in the screen's pixels, also where the window is scaled

constexpr Pixel kClearGrey{64, 64, 64};  // the clear colour, 0.25 of full scale

class GlViewTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 192;

    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ViewerState_Reset();
        R_ResetState();
        frame = new wxFrame(nullptr, wxID_ANY, "gl test");
        canvas = new GlCanvas(frame, wxID_ANY, wxPoint(0, 0), wxSize(kWidth, kHeight));
        frame->SetClientSize(kWidth, kHeight);
        frame->Show();
        ASSERT_TRUE(PumpUntil(3000, [&] { return canvas->IsShownOnScreen(); }));
        R_SetSurface(canvas);
        App_InstallServices();
        ASSERT_TRUE(GL_Init(kWidth, kHeight));
    }
    void TearDown() override
    {
        if (!frame)
            return;
        GL_Release();
        frame->Destroy();
        Pump(20);
        ViewerState_Reset();
        R_ResetState();
    }

    // The back buffer as drawn, pixel (x, y) counted from the top-left corner.
    Pixel At(int x, int y) const
    {
        unsigned char rgba[4] = {};
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        int32_t viewWidth = 1, viewHeight = 1;
        R_ViewSize(viewWidth, viewHeight);
        glReadPixels(x, viewHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }

    wxFrame *frame = nullptr;
    GlCanvas *canvas = nullptr;
};
