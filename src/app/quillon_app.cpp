// CQuillonApp: creates the main window and runs until it closes. An archive
// named on the command line (as a desktop entry's %f names it) opens at
// start-up, "--select NAME" before it also selecting that entry; the recent
// archives are kept in the user's settings.
#include "app/quillon_dlg.h"
#include "app/services.h"
#include "base/platform.h"

#include <wx/app.h>
#include <wx/config.h>

#include <string>
#include <vector>

namespace {

// The last argument exactly as the system passed it (UTF-8 on Windows, read
// from the wide command line): paths are bytes, and wx's own argument strings
// depend on the locale's encoding.
std::string gLastArgument;
// The entry "--select NAME ARCHIVE-OR-FOLDER" asks for, shown once it opened.
std::string gSelectEntry;

}  // namespace

class CQuillonApp : public wxApp {
public:
    bool OnInit() override
    {
        // wx's own option parsing is not run: the only argument is an archive.
        App_InstallServices();
        App_OpenSettings();
        auto *dialog = new CQuillonDlg();
        SetTopWindow(dialog);
        dialog->Show();
        // GTK has taken its own options out of argv by now; whatever is left
        // after the program's name is the archive, the last raw argument.
        if (argc > 1 && !gLastArgument.empty()) {
            const std::string path = gLastArgument;
            const std::string select = gSelectEntry;
            // Once the window is on screen, so that a refusal's message has its parent.
            dialog->CallAfter([dialog, path, select] {
                if (dialog->OpenPath(path) && !select.empty())
                    dialog->SelectEntryNamed(select);
            });
        }
        return true;
    }

    int OnExit() override
    {
        delete wxConfigBase::Set(nullptr);  // writes the settings out
        return wxApp::OnExit();
    }
};

wxIMPLEMENT_APP_NO_MAIN(CQuillonApp);

int main(int argc, char **argv)
{
    if (argc > 1) {
        const std::vector<std::string> arguments = Sys_Arguments(argc, argv);
        gLastArgument = arguments.back();
        if (arguments.size() == 4 && arguments[1] == "--select")
            gSelectEntry = arguments[2];
    }
    return wxEntry(argc, argv);
}
