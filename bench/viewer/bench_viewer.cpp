// Times the real window on a big archive:
//  1. File > Open accepting an archive of 100,000 entries until the entry list
//     has painted its lines;
//  2. selecting a 1 MiB text entry until its text is in the text view (wall
//     and CPU time), and until the window has drawn it;
//  3. typing into the find bar, real keys: each keystroke from its arrival in
//     the window until the narrowed list has painted; and the kind filter's
//     reading of every entry;
//  4. selecting a 100 MiB entry of no previewable kind until the window has
//     drawn its hex view.
// Usage: xvfb-run -a bench_viewer [rounds]
#include "app/entry_list_ctrl.h"
#include "app/hex_view.h"
#include "fixtures.h"
#include "seam_window.h"
#include "../bench_measure.h"

#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;
static double ThreadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void Report(const char *what, std::vector<double> times, double target)
{
    std::sort(times.begin(), times.end());
    printf("%-44s median %7.1f ms  min %7.1f  max %7.1f  (target <= %.0f ms)\n", what, times[times.size() / 2],
           times.front(), times.back(), target);
}

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    if (!StartWx()) {
        fprintf(stderr, "bench_viewer: no display (run it under xvfb-run)\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("bench_viewer_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "BIG.PAK").string();

    // 100,000 entries named as a game's are, plus one 1 MiB text.
    FixtureArchive archive;
    archive.entries.reserve(100000);
    char name[64];
    for (int i = 0; i < 99999; ++i) {
        snprintf(name, sizeof name, "%s/area%02d/object_%05d.%s", i % 3 ? "models" : "textures", i % 37,
                 (i * 7919) % 100000, i % 3 ? "mdl" : "tex");
        archive.entries.push_back({name, Bytes{'S', 'Y', 'T', 0}});
    }
    std::string text;
    while (text.size() < (1u << 20))
        text += "// line of a script file with some words, numbers 0123456789 and tabs\t\tend\n";
    text.resize(1u << 20);
    archive.entries.push_back({"scripts/big_script.txt", Fixture_FromString(text)});
    if (!Fixture_WritePak(path, archive)) {
        fprintf(stderr, "bench_viewer: cannot write %s\n", path.c_str());
        return 1;
    }

    auto *frame = new SeamWindow();
    frame->Show();
    Pump(300);

    // The generic list draws its lines in a child window of its own.
    bool painted = false;
    for (wxWindow *child : frame->EntryList()->GetChildren())
        child->Bind(wxEVT_PAINT, [&](wxPaintEvent &event) {
            painted = true;
            event.Skip();
        });

    std::vector<double> open, selectHandled, selectCpu, selectDrawn;
    for (int r = 0; r < rounds; ++r) {
        frame->answers.push_back(path);
        painted = false;
        const auto t0 = Clock::now();
        OnCommand(*frame, CmdFileOpen);
        PumpUntil(10000, [&] { return painted; });
        open.push_back(Ms(t0, Clock::now()));
        if (frame->EntryList()->GetItemCount() != 100000 || !frame->messages.empty()) {
            fprintf(stderr, "bench_viewer: the archive did not open\n");
            return 1;
        }
        Pump(100);

        long line = -1;
        for (long i = 0; i < frame->EntryList()->GetItemCount() && line < 0; ++i)
            if (frame->EntryList()->LineText(i) == "scripts/big_script.txt [99999]")
                line = i;
        const double cpu0 = ThreadCpuMs();
        const auto t1 = Clock::now();
        frame->SelectEntryLine(static_cast<int>(line));
        const auto t2 = Clock::now();
        const double cpu1 = ThreadCpuMs();
        auto *view = static_cast<wxTextCtrl *>(frame->Control(IdTextView));
        frame->Update();  // paints what is now invalid, the text view included
        const auto t3 = Clock::now();
        if (!view->IsShown() || view->GetLastPosition() < 1000000) {
            fprintf(stderr, "bench_viewer: the text was not shown\n");
            return 1;
        }
        selectHandled.push_back(Ms(t1, t2));
        selectCpu.push_back(cpu1 - cpu0);
        selectDrawn.push_back(Ms(t1, t3));
        // Back to an empty selection for the next round.
        frame->SelectEntryLine(0);
        Pump(100);
    }
    // Keystrokes in the find bar: a plain text narrowing step by step, the
    // steps back, and a glob.
    OnCommand(*frame, CmdEditFind);
    PumpUntil(2000, [&] { return wxWindow::FindFocus() == frame->FindText(); });
    Pump(200);
    // The simulator itself takes 20 ms or more to send a key (it waits after
    // the press and after the release) and the window runs only once it has
    // returned: a keystroke is timed from the key's arrival in the window, its
    // key event, which the window's key hook sees first.
    std::vector<double> sent, keys, keysCpu;
    Clock::time_point arrived;
    double arrivedCpu = 0;
    bool waiting = false;
    frame->Bind(wxEVT_CHAR_HOOK, [&](wxKeyEvent &event) {
        if (waiting) {
            waiting = false;
            painted = false;  // only a paint after the key counts
            arrived = Clock::now();
            arrivedCpu = ThreadCpuMs();
        }
        event.Skip();
    });
    wxUIActionSimulator sim;
    auto type = [&](int key, const wxString &expected) {
        painted = false;
        waiting = true;
        const auto t0 = Clock::now();
        // The simulator sends the key that carries the character: shifted ones need Shift.
        sim.Char(key, key == '_' || key == '*' ? wxMOD_SHIFT : wxMOD_NONE);
        if (!PumpUntil(5000, [&] { return painted && !waiting && frame->FindText()->GetValue() == expected; })) {
            fprintf(stderr, "bench_viewer: the keystroke did not reach the list (find text '%s', painted %d)\n",
                    static_cast<const char *>(frame->FindText()->GetValue().utf8_str()), painted);
            exit(1);
        }
        const auto seen = Clock::now();
        sent.push_back(Ms(t0, seen));
        keys.push_back(Ms(arrived, seen));
        keysCpu.push_back(ThreadCpuMs() - arrivedCpu);
    };
    for (int r = 0; r < rounds; ++r) {
        wxString typed;
        for (char c : std::string("object_0471")) {
            typed += c;
            type(c, typed);
        }
        while (!typed.empty()) {
            typed.RemoveLast();
            type(WXK_BACK, typed);
        }
        for (char c : std::string("*.tex")) {
            typed += c;
            type(c, typed);
        }
        while (!typed.empty()) {
            typed.RemoveLast();
            type(WXK_BACK, typed);
        }
    }
    // The kind filter reads every entry once, a slice per tick.
    const auto k0 = Clock::now();
    frame->FindKind()->SetSelection(1);  // "Textures"
    wxCommandEvent choose(wxEVT_CHOICE, frame->FindKind()->GetId());
    choose.SetEventObject(frame->FindKind());
    frame->FindKind()->GetEventHandler()->ProcessEvent(choose);
    PumpUntil(120000, [&] { return viewer.session.kindScanNext >= viewer.session.listOrder.size(); });
    const double kindScan = Ms(k0, Clock::now());
    const long textures = frame->EntryList()->GetItemCount();

    // A 100 MiB entry of no previewable kind, then a small text, in turn.
    const std::string hexPath = (dir / "HEX.PAK").string();
    {
        Bytes big(100u << 20, 0x41);
        big[0] = 0x80;  // not text
        if (!Fixture_WritePak(hexPath, {{{"data/big.bin", big}, {"note.txt", Fixture_FromString("text")}}})) {
            fprintf(stderr, "bench_viewer: cannot write %s\n", hexPath.c_str());
            return 1;
        }
    }
    OnFindClose(*frame);  // the whole list again
    frame->answers.push_back(hexPath);
    OnCommand(*frame, CmdFileOpen);
    Pump(100);
    std::vector<double> hex;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        frame->SelectEntryLine(0);  // "data/big.bin [0000]" sorts first
        frame->Update();
        hex.push_back(Ms(t0, Clock::now()));
        if (!frame->HexView()->IsShown() || frame->HexView()->GetItemCount() != (100 << 20) / 16) {
            fprintf(stderr, "bench_viewer: the hex view did not show the entry\n");
            return 1;
        }
        frame->SelectEntryLine(1);
        Pump(100);
    }

    printf("bench_viewer: %d rounds, 100,000 entries, 1 MiB text, 100 MiB entry in hex\n", rounds);
    Report("open 100,000 entries until the list painted", open, 300);
    Report("select 1 MiB text until it is in the view", selectHandled, 20);
    Report("  the same, CPU time of the window's thread", selectCpu, 20);
    Report("select 1 MiB text until the window drew it", selectDrawn, 20);
    Report("find: a keystroke until the list painted", keys, 20);
    Report("  the same, CPU time of the window's thread", keysCpu, 8);
    Report("  the same from the key sent (the simulator)", sent, 50);
    printf("kind filter: every entry read and classified in %.0f ms (%ld textures listed)\n", kindScan, textures);
    Report("select 100 MiB of hex until the window drew", hex, 100);

    OnCommand(*frame, CmdCancel);
    Pump(100);
    fs::remove_all(dir);
    return 0;
}
