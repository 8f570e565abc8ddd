// A recording stand-in for the main window: the handlers run against it as
// they run against the wx frame, and tests read back what they did.
#pragma once

#include "app/main_dialog.h"
#include "dialog_answers.h"

#include <algorithm>
#include <map>
#include <set>

class FakeWindow : public DialogAnswers<ViewerWindow> {
public:
    struct Control {
        std::string label;
        bool shown = true;
        ControlRect rect;
    };

    FakeWindow()
    {
        // The main window at 1.5 x 1.625 pixels per dialog unit.
        controls[IdEntryList].rect = {10, 26, 181, 240};
        controls[IdFileLabel].rect = {10, 11, 183, 13};
        controls[IdInfoLine].rect = {199, 11, 337, 13};
        controls[IdGlView].rect = {199, 26, 418, 386};
        controls[IdTextView].rect = {199, 26, 418, 386};
        controls[IdPlayOnClick].rect = {199, 29, 193, 13};
        controls[IdSurfaceList].rect = {10, 286, 181, 126};
        controls[IdSurfaceLabel].rect = {10, 271, 156, 13};
        controls[IdFindBar] = {"", false, {10, 26, 181, 34}};
        controls[IdHexView] = {"", false, {199, 26, 418, 386}};
    }

    bool ControlExists(ControlId id) const override { return controls.count(id) != 0; }
    void SetLabel(ControlId id, const std::string &text) override { controls[id].label = text; }
    std::string GetLabel(ControlId id) const override { return controls.at(id).label; }
    void ShowControl(ControlId id, bool show) override { controls[id].shown = show; }
    bool IsControlShown(ControlId id) const override { return controls.at(id).shown; }
    ControlRect GetControlRect(ControlId id) const override { return controls.at(id).rect; }
    void ResizeControl(ControlId id, int width, int height) override
    {
        controls[id].rect.width = width;
        controls[id].rect.height = height;
    }
    void MoveControl(ControlId id, int x, int y) override
    {
        controls[id].rect.x = x;
        controls[id].rect.y = y;
    }
    void GetClientSize(int &width, int &height) const override { width = clientWidth, height = clientHeight; }
    void SetTextView(const std::string &text) override { textView = text; }
    bool IsPlayOnClickChecked() const override { return playOnClick; }
    void SetPlayOnClickChecked(bool checked) override { playOnClick = checked; }
    void SetEntryLines(std::vector<const char *> lines) override
    {
        entryLines.assign(lines.begin(), lines.end());
        selection = -1;
    }
    int GetEntrySelection() const override { return selection; }
    void SetEntrySelection(int line) override { selection = line; }
    void SetStatusField(int field, const std::string &text) override { status[field] = text; }
    void SetHexBytes(const std::vector<uint8_t> *bytes) override { hexBytes = bytes; }
    void NoteOpenedArchive(const std::string &path) override { opened.push_back(path); }
    std::string GetEntryLineText(int line) const override
    {
        return line >= 0 && static_cast<size_t>(line) < entryLines.size() ? entryLines[line] : "";
    }
    void ClearSurfaceList() override
    {
        surfaceRows.clear();
        surfaceSelected.clear();
    }
    void AddSurfaceRow(const std::string &text) override { surfaceRows.push_back(text); }
    bool IsSurfaceRowSelected(int row) const override { return surfaceSelected.count(row) != 0; }
    void EnableMenuItem(Command command, bool enable) override { grayed[command] = !enable; }
    bool IsMenuItemEnabled(Command command) const override { return !grayed.count(command) || !grayed.at(command); }
    void CheckMenuItem(Command command, bool check) override { ticked[command] = check; }
    void StartFrameTimer(int intervalMs) override
    {
        timerInterval = intervalMs;
        log.push_back("timer start");
    }
    void StopFrameTimer() override
    {
        timerInterval = 0;
        log.push_back("timer stop");
    }
    void EndMainDialog(int result) override { log.push_back("end " + std::to_string(result)); }
    // Runs the job as the progress dialog does, pressing Cancel once
    // `cancelAfter` entries were reported.
    void RunJob(const WindowJob &job) override
    {
        std::atomic<bool> cancel{false};
        job([&](const JobProgress &p) {
            progress.push_back(p);
            if (cancelAfter > 0 && p.done == cancelAfter)
                cancel = true;
        }, cancel);
    }

    // A click on a line (on none when no line reads `line`), and File > Open
    // answered with `path`: the handlers run.
    void Click(const std::string &line)
    {
        const auto it = std::find(entryLines.begin(), entryLines.end(), line);
        selection = it == entryLines.end() ? -1 : static_cast<int>(it - entryLines.begin());
        OnSelchangeEntryList(*this);
    }
    void Open(const std::string &path)
    {
        answers.push_back(path);
        OnCommand(*this, CmdFileOpen);
    }
    bool Shown(ControlId id) const { return controls.at(id).shown; }
    bool Enabled(Command command) const { return IsMenuItemEnabled(command); }
    bool Checked(Command command) const { return ticked.count(command) && ticked.at(command); }

    std::map<int, Control> controls;
    std::map<int, bool> grayed, ticked;  // menu items
    int clientWidth = 628, clientHeight = 423;
    std::string textView;
    bool playOnClick = false;
    std::vector<std::string> entryLines;
    int selection = -1;
    std::vector<std::string> surfaceRows;
    std::set<int> surfaceSelected;  // rows the user selected
    int timerInterval = 0;
    std::string status[3];                          // status bar fields
    const std::vector<uint8_t> *hexBytes = nullptr;  // what the hex view shows
    std::vector<std::string> opened;                // archives accepted
    std::vector<std::string> log;  // timer, end and (from the tests' services) subsystem steps
    size_t cancelAfter = 0;                         // 0: the job runs to its end
    std::vector<JobProgress> progress;              // what the job reported
};
