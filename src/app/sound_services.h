// The sound module as the main window's handlers reach it.
#pragma once

// Fills the sound steps of viewer.services from src/sound. Run once at start-up,
// before the main window is created, so that its initialisation starts the
// module. Without an audio device the steps still run and stay silent.
void App_InstallSoundServices();
