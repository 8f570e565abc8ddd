// The sound bar, the sound keys and the preview's status (preview_bars.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

// ---- sound keys ----

// Space: the selected sound from its start, whatever "&Play on click" says.
void App_ReplaySound();
// Shift+Space: silence.
void App_StopAllSounds();

// ---- the sound bar ----

// Its button: Stop (keeping the place) while the selected sound plays, Play
// from the bar's place otherwise (from the start once at the end).
void App_SoundBarPlayStop(ViewerWindow &window);
// Its slider: the bar's place; a playing sound goes on from there.
void App_SoundBarSeek(ViewerWindow &window, double seconds);
// "m:ss.s", tenths rounded down.
std::string App_FormatSoundTime(double seconds);
