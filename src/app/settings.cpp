#include "app/settings.h"
#include "app/app_texts.h"

#include <wx/fileconf.h>
#include <wx/gdicmn.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdlib>

void App_OpenSettings()
{
    wxString folder;
    wxGetEnv("XDG_CONFIG_HOME", &folder);
#ifdef __WXMSW__
    if (folder.empty() || !wxFileName(folder).IsAbsolute())
        wxGetEnv("APPDATA", &folder);
#endif
    if (folder.empty() || !wxFileName(folder).IsAbsolute())
        folder = wxFileName::GetHomeDir() + "/.config";
    const wxFileName file(folder + "/quillon", "quillon.conf");
    wxLogNull quiet;  // settings that cannot be kept are not worth a message box
    file.Mkdir(wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    delete wxConfigBase::Set(new wxFileConfig(kAppName, "", file.GetFullPath(), "", wxCONFIG_USE_LOCAL_FILE));
}

void App_LoadRecent(wxFileHistory &recent)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    settings->SetPath("/RecentArchives");
    recent.Load(*settings);
    settings->SetPath("/");
}

void App_SaveRecent(wxFileHistory &recent)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    wxLogNull quiet;  // settings that cannot be kept are not worth a message box
    settings->SetPath("/RecentArchives");
    recent.Save(*settings);
    settings->SetPath("/");
    settings->Flush();
}

namespace {

// One value kept for the next run; settings that cannot be kept are not worth a message box.
template <typename T>
void KeepSetting(const char *key, T value)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    wxLogNull quiet;
    settings->Write(key, value);
    settings->Flush();
}

}  // namespace

int App_LoadListWidening()
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    long widening = 0;
    if (settings)
        settings->Read("/Window/ListWidening", &widening, 0L);
    return static_cast<int>(std::clamp(widening, 0L, 1L << 16));
}

void App_SaveListWidening(int widening)
{
    KeepSetting("/Window/ListWidening", static_cast<long>(widening));
}

bool App_LoadAsTree()
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    return settings && settings->ReadBool("/View/AsTree", false);
}

void App_SaveAsTree(bool asTree)
{
    KeepSetting("/View/AsTree", asTree);
}

static const char *PlaceKey(FilePlace place)
{
    switch (place) {
    case FilePlace::Archive: return "/Places/Archive";
    case FilePlace::Import: return "/Places/Import";
    case FilePlace::Export: return "/Places/Export";
    }
    return "/Places/Archive";
}

wxString App_LoadPlace(FilePlace place)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    return settings ? settings->Read(PlaceKey(place), wxString()) : wxString();
}

void App_SavePlace(FilePlace place, const wxString &folder)
{
    KeepSetting(PlaceKey(place), folder);
}

bool App_LoadWindowRect(wxRect &rect, bool &maximized)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    long x = 0, y = 0, width = 0, height = 0;
    if (!settings || !settings->Read("/Window/X", &x) || !settings->Read("/Window/Y", &y) ||
        !settings->Read("/Window/Width", &width) || !settings->Read("/Window/Height", &height))
        return false;
    // Edited by hand or kept from a larger screen: the window places it within its screen.
    constexpr long kFar = 1L << 16;
    if (width <= 0 || height <= 0 || width > kFar || height > kFar || std::labs(x) > kFar || std::labs(y) > kFar)
        return false;
    rect = wxRect(int(x), int(y), int(width), int(height));
    maximized = settings->ReadBool("/Window/Maximized", false);
    return true;
}

void App_SaveWindowRect(const wxRect &rect, bool maximized)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    wxLogNull quiet;
    settings->Write("/Window/X", long(rect.x));
    settings->Write("/Window/Y", long(rect.y));
    settings->Write("/Window/Width", long(rect.width));
    settings->Write("/Window/Height", long(rect.height));
    settings->Write("/Window/Maximized", maximized);
    settings->Flush();
}

int App_LoadThumbSize()
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    long size = 128;
    if (settings)
        settings->Read("/View/ThumbnailSize", &size, 128L);
    return size == 64 || size == 256 ? static_cast<int>(size) : 128;
}

void App_SaveThumbSize(int size)
{
    KeepSetting("/View/ThumbnailSize", static_cast<long>(size));
}
