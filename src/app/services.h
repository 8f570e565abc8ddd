// The window's services bound to the subsystems.
#pragma once

// Fills every step of viewer.services (GL view, sound player, model in the
// view) and sets the view's frame hooks: App_DrawViewFrame, 1 ms pause after
// each swap. Run once at start-up, before the main window is created, so that
// its initialisation creates the context and starts the player. Without an
// audio device the sound steps still run and stay silent.
void App_InstallServices();

// The view's frame: the selection's preview in the View > Channels chosen,
// with the model pass of viewer.services.
void App_DrawViewFrame();
