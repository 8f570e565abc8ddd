// The sound bar's handlers: play and stop from where the bar stands, the
// seek, the position while a sound plays, and the one notice that no audio
// device plays anything. The texture preview's zoom in the status bar rides
// on the same tick.
#include "app/app_local.h"
#include "app/preview_bars.h"
#include "sound/sound.h"
#include "texture/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

bool SoundSelected()
{
    return viewer.preview.resourceKind == KindOggVorbis && !viewer.preview.CurrentResource.empty();
}

bool HasOutput()
{
    return !viewer.services.sound.HasOutput || viewer.services.sound.HasOutput();
}

// Where the selected sound plays now; false when it does not play.
bool PlayingAt(double &seconds)
{
    const PreviewState &p = viewer.preview;
    return p.soundRecord && viewer.services.sound.PlayingPosition && viewer.services.sound.PlayingPosition(p.soundRecord, seconds);
}

void ShowBar(ViewerWindow &window)
{
    const PreviewState &p = viewer.preview;
    window.SetSoundBar({p.soundPosition, p.soundLength, p.soundWasPlaying, HasOutput()});
}

// "Zoom 200%, 512 x 512" or, below the largest level, "Zoom 50%, level 2: 128 x 128".
std::string TextureStatus()
{
    const PreviewState &p = viewer.preview;
    TextureLevel level;
    if (viewer.viewHidden || p.resourceKind != KindTexture || !viewer.services.render.TextureScale ||
        !Texture_FindLevel(p.CurrentResource, p.textureMipLevel, level))
        return "";
    char text[96];
    // The zoom is a power of two from 1/16 up, or a fitted scale no smaller.
    const int shown = snprintf(text, sizeof text, "Zoom %.0f%%", viewer.services.render.TextureScale(p) * 100.0);
    if (p.textureMipLevel == 0)
        snprintf(text + shown, sizeof text - shown, ", %u x %u", level.width, level.height);
    else
        snprintf(text + shown, sizeof text - shown, ", level %u: %u x %u", p.textureMipLevel, level.width,
                 level.height);
    return text;
}

}  // namespace

std::string App_FormatSoundTime(double seconds)
{
    // Tenths, rounded down, so that the time never shows more than was played.
    const long tenths = std::isfinite(seconds) && seconds > 0 ? static_cast<long>(seconds * 10 + 1e-6) : 0;
    char text[32];
    snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

void App_ShowSoundBar(ViewerWindow &window)
{
    if (!window.ControlExists(IdSoundBar))
        return;
    const bool sound = viewer.preview.resourceKind == KindOggVorbis;
    window.ShowControl(IdSoundBar, sound);
    if (!sound)
        return;
    PreviewState &p = viewer.preview;
    if (!S_SoundLength(p.CurrentResource, p.soundLength))
        p.soundLength = 0;
    ShowBar(window);
}

bool App_QueueSoundNotice(ViewerWindow &window)
{
    if (HasOutput())
        return true;
    // Said once a run: every later play is as silent, and the bar's Play stays gray.
    if (!viewer.noAudioSaid) {
        viewer.noAudioSaid = true;
        window.SetStatusField(0, "No audio device: sounds cannot be played.");
    }
    return false;
}

void App_SoundBarPlayStop(ViewerWindow &window)
{
    PreviewState &p = viewer.preview;
    if (!SoundSelected())
        return;
    double at = 0;
    if (PlayingAt(at)) {
        // Stop keeps the place, so that Play goes on from it.
        p.soundPosition = std::min(at, p.soundLength);
        App_StopAllSounds();
        p.soundWasPlaying = false;
    } else if (App_QueueSoundNotice(window)) {
        if (p.soundLength > 0 && p.soundPosition >= p.soundLength)
            p.soundPosition = 0;
        App_StopAllSounds();
        App_QueueSelectedSound(p.soundPosition);
        p.soundWasPlaying = p.soundRecord != nullptr;
    }
    ShowBar(window);
}

void App_SoundBarSeek(ViewerWindow &window, double seconds)
{
    PreviewState &p = viewer.preview;
    if (!SoundSelected())
        return;
    p.soundPosition = std::clamp(seconds, 0.0, std::max(p.soundLength, 0.0));
    double at = 0;
    if (PlayingAt(at) || p.soundWasPlaying) {
        // What plays stops, and the stream starts its decode at the chosen sample.
        App_StopAllSounds();
        App_QueueSelectedSound(p.soundPosition);
        p.soundWasPlaying = p.soundRecord != nullptr;
    }
    ShowBar(window);
}

void App_PreviewBarsTick(ViewerWindow &window)
{
    window.SetStatusField(2, TextureStatus());
    if (!SoundSelected())
        return;
    PreviewState &p = viewer.preview;
    double at = 0;
    if (PlayingAt(at)) {
        p.soundPosition = std::min(at, p.soundLength);
        p.soundWasPlaying = true;
    } else if (p.soundWasPlaying) {
        // It played to its end (or something else silenced it): back to the start.
        p.soundWasPlaying = false;
        p.soundPosition = 0;
    }
    ShowBar(window);
}

void App_QueueSelectedSound(double fromSeconds)
{
    PreviewState &preview = viewer.preview;
    const ViewerServices &services = viewer.services;
    if (viewer.mainDialog && !App_QueueSoundNotice(*viewer.mainDialog))
        return;
    // One attempt per selection, also when it gives nothing.
    if (!preview.previewPrepared) {
        preview.soundRecord = services.sound.LoadCurrentAsset ? services.sound.LoadCurrentAsset() : nullptr;
        preview.previewPrepared = true;
    }
    if (!preview.soundRecord)
        return;
    if (fromSeconds > 0 && services.sound.QueuePlayFrom)
        services.sound.QueuePlayFrom(preview.soundRecord, fromSeconds);
    else if (services.sound.QueuePlay)
        services.sound.QueuePlay(preview.soundRecord);
}

void App_ReplaySound()
{
    const PreviewState &preview = viewer.preview;
    if (preview.resourceKind != KindOggVorbis || preview.CurrentResource.empty())
        return;
    // One request at a time may play (it cannot be taken over): what plays
    // stops, so that the sound starts again from its beginning.
    App_StopAllSounds();
    App_QueueSelectedSound();
}

void App_StopAllSounds()
{
    if (viewer.services.sound.StopAll)
        viewer.services.sound.StopAll();
}
