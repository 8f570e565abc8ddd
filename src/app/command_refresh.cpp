// The gray menu items follow the viewer's state: the handlers ask, the
// command table answers, and neither names the other.
#include "app/command_refresh.h"

namespace {

void (*gRefresh)(ViewerWindow &window) = nullptr;

}  // namespace

void App_RefreshCommands(ViewerWindow &window)
{
    if (gRefresh)
        gRefresh(window);
}

void App_SetCommandRefresh(void (*refresh)(ViewerWindow &window))
{
    gRefresh = refresh;
}
