// Reads what the X server shows, straight from the server: wx's screen DC
// keeps a stale copy of the root window once it has been read, which hides
// every frame swapped afterwards.
#include "gl_test_view.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

wxImage ScreenImage(wxWindow *window)
{
    static Display *display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    XSync(display, False);
    const int rootWidth = DisplayWidth(display, DefaultScreen(display));
    const int rootHeight = DisplayHeight(display, DefaultScreen(display));
    // The server counts the screen's pixels; a scaled window counts units of several.
    const double scale = window->GetContentScaleFactor();
    const wxRect rect = window->GetScreenRect();
    wxRect area = wxRect(int(rect.x * scale), int(rect.y * scale), int(rect.width * scale), int(rect.height * scale))
                      .Intersect(wxRect(0, 0, rootWidth, rootHeight));
    if (area.IsEmpty())
        return {};
    XImage *shot = XGetImage(display, DefaultRootWindow(display), area.x, area.y, static_cast<unsigned>(area.width),
                             static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (!shot)
        return {};
    wxImage image(area.width, area.height);
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<unsigned char>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.SetRGB(x, y, channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                         channel(pixel, shot->blue_mask));
        }
    XDestroyImage(shot);
    return image;
}
