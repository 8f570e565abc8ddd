#include "viewer/viewer_state.h"

ViewerState viewer;

void ViewerState_Reset()
{
    viewer = ViewerState{};
}
