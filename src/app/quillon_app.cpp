// CQuillonApp: creates the main window and runs until it closes. No command
// line, no settings.
#include "app/quillon_dlg.h"
#include "app/services.h"

#include <wx/app.h>

class CQuillonApp : public wxApp {
public:
    bool OnInit() override
    {
        // Keeps wx's own options (and any argument) from being read: the viewer takes none.
        App_InstallServices();
        auto *dialog = new CQuillonDlg();
        SetTopWindow(dialog);
        dialog->Show();
        return true;
    }
};

wxIMPLEMENT_APP(CQuillonApp);
