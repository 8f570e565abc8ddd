// The window's services bound to the subsystems.
#pragma once

// Fills every step of viewer.services (GL view, sound player, model in the
// view), frameCallback = R_DrawFrame and frameSleepMs = 1. Run once at
// start-up, before the main window is created, so that its initialisation
// creates the context and starts the player. Without an audio device the
// sound steps still run and stay silent.
void App_InstallServices();
