// The real main window with its modal dialogs replaced, and a hand-pumped wx
// event loop. Used by the window tests and the benchmarks.
#pragma once

#include "app/display_text.h"
#include "app/entry_list_ctrl.h"
#include "app/quillon_dlg.h"
#include "dialog_answers.h"
#include "render/render.h"
#include "viewer/viewer_state.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/uiaction.h>

#include <chrono>
#include <thread>

// Its file dialogs start and note the chosen files as the real ones do:
// `startFolders` has the folder each one started in.
class SeamWindow : public DialogAnswers<CQuillonDlg> {
public:
    bool AskFileName(const FileDialogRequest &request, std::string &path) override
    {
        startFolders.push_back(std::string(StartFolder(request).utf8_str()));
        if (!DialogAnswers::AskFileName(request, path))
            return false;
        NoteChosenFile(request, App_PathToWx(path.substr(0, path.find('\n'))));  // Add Files: the first
        return true;
    }
    bool AskFolderName(std::string &path) override
    {
        FileDialogRequest request;
        request.archive = true;
        startFolders.push_back(std::string(StartFolder(request).utf8_str()));
        return DialogAnswers::AskFolderName(path);
    }
    std::vector<std::string> startFolders;
};

// wx started once for the whole process, with an event loop that the tests
// pump by hand. False when there is no display to start on.
inline bool StartWx()
{
    static int state = 0;  // 0 not tried, 1 running, -1 unavailable
    if (state != 0)
        return state > 0;
    state = -1;
    const char *display = getenv("DISPLAY");
    if (!display || !*display)
        return false;
    static int argc = 1;
    static char name[] = "quillon-test";
    static char *argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return false;
    static wxGUIEventLoop loop;
    static wxEventLoopActivator activate(&loop);
    state = 1;
    return true;
}

// Runs the event loop for about `ms` milliseconds (or until `done` holds).
template <typename Done>
inline bool PumpUntil(int ms, Done done)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        wxTheApp->ProcessPendingEvents();
        while (wxEventLoopBase::GetActive()->Pending())
            wxEventLoopBase::GetActive()->Dispatch();
        wxTheApp->ProcessIdle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

inline void Pump(int ms)
{
    PumpUntil(ms, [] { return false; });
}

// A new main window on screen over a fresh viewer (no sound device started),
// with nothing open yet.
inline SeamWindow *FreshWindow()
{
    ViewerState_Reset();
    R_ResetState();
    viewer.services.sound.Init = [] {};
    auto *frame = new SeamWindow();
    frame->Show();
    Pump(100);
    return frame;
}

// A new main window on screen with `archive` opened through File > Open.
inline SeamWindow *OpenWindow(const std::string &archive)
{
    auto *frame = new SeamWindow();
    frame->Show();
    Pump(100);
    frame->answers.push_back(archive);
    OnCommand(*frame, CmdFileOpen);
    Pump(50);
    return frame;
}

// Ends a main window as Cancel does (when it has not ended; edits that
// wait are discarded) and forgets everything the viewer held.
inline void CloseWindow(SeamWindow *frame)
{
    if (frame && !frame->HasEnded()) {
        frame->saveChoice = SaveChoice::Discard;
        OnCommand(*frame, CmdCancel);
    }
    Pump(50);
    ViewerState_Reset();
    R_ResetState();
}

// A menu item chosen as its menu delivers it.
inline void ChooseMenu(SeamWindow &frame, int command)
{
    wxCommandEvent pick(wxEVT_MENU, Command_ToWxId(command));
    frame.GetEventHandler()->ProcessEvent(pick);
    Pump(50);
}

// Selects the first entry line that starts with `prefix`, as the list does
// for the user; false when there is none or the selection did not arrive.
inline bool SelectLine(SeamWindow &frame, const std::string &prefix)
{
    EntryListCtrl *list = frame.EntryList();
    for (size_t i = 0; i < list->LineCount(); ++i)
        if (list->LineText(static_cast<long>(i)).rfind(prefix, 0) == 0) {
            frame.SelectEntryLine(static_cast<int>(i));
            return PumpUntil(2000, [&] { return viewer.session.selectedEntry >= 0 && frame.GetEntrySelection() == int(i); });
        }
    return false;
}

// Clicks the entry line `text` with the real mouse; false when the selection did not arrive.
inline bool ClickLine(SeamWindow &frame, const std::string &text)
{
    EntryListCtrl *list = frame.EntryList();
    long line = 0;
    while (line < long(list->LineCount()) && list->LineText(line) != text)
        ++line;
    list->EnsureVisible(line);
    Pump(50);
    wxRect item;
    list->GetItemRect(line, item);
    wxUIActionSimulator sim;
    sim.MouseMove(list->ClientToScreen(item.GetPosition() + wxPoint(20, item.height / 2)));
    Pump(30);
    sim.MouseClick();
    return PumpUntil(2000, [&] { return frame.GetEntrySelection() == line && viewer.session.selectedEntry >= 0; });
}
