// CQuillonApp: creates the main window and runs until it closes. No command
// line, no settings.
#include "app/quillon_dlg.h"
#include "app/sound_services.h"
#include "model/model.h"
#include "render/render.h"

#include <wx/app.h>

class CQuillonApp : public wxApp {
public:
    bool OnInit() override
    {
        // Keeps wx's own options (and any argument) from being read: the viewer takes none.
        R_InstallServices();
        App_InstallSoundServices();
        Model_InstallDrawing();
        auto *dialog = new CQuillonDlg();
        SetTopWindow(dialog);
        dialog->Show();
        return true;
    }
};

wxIMPLEMENT_APP(CQuillonApp);
