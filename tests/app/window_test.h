// The real main window under a virtual display, on a small archive of the
// test's own, with the sound player replaced by one that records what it was asked.
#pragma once

#include "temp_dir.h"
#include "app/services.h"
#include "render/render.h"
#include "seam_window.h"
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <wx/statusbr.h>
#include <wx/uiaction.h>

using Steps = std::vector<std::string>;

inline Steps gSteps;  // sound steps, and GL_Release when the GL view is not the real one
inline int gFrames = 0, gTicks = 0;

// A 32 x 32 DXT5 texture of one colour whose left half is transparent.
inline Bytes HalfTransparent()
{
    Bytes t = Fixture_Texture(32, 32, 5, 1, [](uint32_t, uint32_t, uint32_t, uint32_t) { return Rgb{200, 100, 40}; });
    for (uint32_t block = 0; block < 64; ++block)
        if (block % 8 < 4)
            t[kTextureHeaderSize + 16 * block] = 0;  // alpha0 0, alpha1 0: every texel transparent
    return t;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(
            archive, {{{"textures\\env\\stone_wall_d", HalfTransparent()},
                       {"textures\\ui\\compass", Fixture_Texture(64, 32, 1, 1, Fixture_PictureColour)},
                       {"sounds\\bell.ogg", Fixture_FromString("OggS and then some bytes")},
                       {"scripts\\readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
                       {"data\\blob.bin", Bytes{0x80, 0x81, 0x82, 0x83}}}}));
    }
    void TearDown() override
    {
        if (!StartWx())
            return;
        if (frame && !frame->HasEnded())
            OnCommand(*frame, CmdCancel);
        Pump(50);
        ViewerState_Reset();
    }

    // A new main window with the archive opened through File > Open; `gl`
    // installs the real GL view and counts its frames.
    void NewFrame(bool gl = false)
    {
        ViewerState_Reset();
        gSteps.clear();
        gFrames = gTicks = 0;
        ViewerServices &s = viewer.services;
        if (gl) {
            App_InstallServices();
            viewer.frameCallback = [] {
                ++gFrames;
                R_DrawFrame();
            };
        } else {
            s.GL_Release = [] { gSteps.push_back("GL_Release"); };
        }
        s.S_Init = [] {};
        s.S_Shutdown = [] { gSteps.push_back("S_Shutdown"); };
        s.S_Update = [] { ++gTicks; };
        s.S_LoadCurrentAsset = [] { return reinterpret_cast<SoundRecord *>(0x5011d); };
        s.S_ClearRecord = [](SoundRecord *) {};
        s.S_QueuePlay = [](SoundRecord *) { gSteps.push_back("S_QueuePlay"); };
        s.S_StopAll = [] { gSteps.push_back("S_StopAll"); };
        frame = OpenWindow(archive);
    }
    void Menu(int command)
    {
        wxCommandEvent event(wxEVT_MENU, Command_ToWxId(command));
        event.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(event);
        Pump(20);
    }
    // A real key press in the entry list.
    void Key(int key, int modifiers = wxMOD_NONE)
    {
        frame->EntryList()->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key, modifiers);
    }
    bool Click(const std::string &text) { return ClickLine(*frame, text); }
    std::string Selected() const { return frame->GetEntryLineText(frame->GetEntrySelection()); }
    std::string Info() const { return frame->GetLabel(IdInfoLine); }
    std::string Status(int field) const { return std::string(frame->GetStatusBar()->GetStatusText(field).utf8_str()); }
    bool Shown(ControlId id) const { return frame->Control(id)->IsShown(); }

    TempDir dir;
    const std::string archive = dir / "Sample.PAK";
    SeamWindow *frame = nullptr;
};
