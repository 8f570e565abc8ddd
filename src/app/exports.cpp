// Export > "&Raw (F2)", "&Interpreted (F3)" and the OK of the Binary-Text Dump.
// Every failed open, write or close is reported; nothing passes as success.
#include "base/ascii.h"
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/exports.h"
#include "export/export_jobs.h"
#include "export/png_writer.h"
#include "model/model.h"

#include <cctype>

// "*.ext" -> "*.ext;*.[eE][xX][tT]"; "*.*" -> "*"; anything else unchanged.
static std::string CaseFoldPattern(const std::string &pattern)
{
    if (pattern == "*.*")
        return "*";
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0)
        return pattern;
    std::string folded = "*.";
    bool hasLetter = false;
    for (size_t i = 2; i < pattern.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (isalpha(c)) {
            hasLetter = true;
            folded += '[';
            folded += static_cast<char>(tolower(c));
            folded += static_cast<char>(toupper(c));
            folded += ']';
        } else {
            folded += static_cast<char>(c);
        }
    }
    return hasLetter ? pattern + ";" + folded : pattern;
}

static std::vector<std::string> Split(const std::string &text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string FileDialogFilter(const std::string &filter)
{
    std::vector<std::string> fields = Split(filter, '|');
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '|';
        if (i % 2 == 0) {  // description
            out += fields[i];
            continue;
        }
        std::vector<std::string> patterns = Split(fields[i], ';');
        for (size_t k = 0; k < patterns.size(); ++k)
            out += (k > 0 ? ";" : "") + CaseFoldPattern(patterns[k]);
    }
    return out;
}

// The window's request for the selection: its bytes, kind and model, with
// its materials found as the view finds them.
static ExportEntryRequest SelectionRequest()
{
    ExportEntryRequest request;
    request.kind = viewer.preview.resourceKind;
    request.resource = viewer.preview.CurrentResource;
    // A model that no frame has prepared yet is read now.
    if (request.kind == KindModel && viewer.services.model.ForExport)
        request.model = viewer.services.model.ForExport(viewer.preview);
    request.archive = &viewer.session.mainPak;
    request.global = &viewer.session.globalPak;
    return request;
}

// Refusals are told before a file is named, so that no empty file is left
// behind. False when the export was refused.
static bool CheckBeforeNaming(ViewerWindow &window, const ExportEntryRequest &request)
{
    const ExportStatus check = Export_CheckEntry(request);
    if (!check.Ok())
        window.ShowMessage(Export_Message(check));
    return check.Ok();
}

// Writes the request to `path` and tells what went wrong, or of the surfaces
// the file lacks (it holds every one the parse could read).
static bool WriteAndReport(ViewerWindow &window, const ExportEntryRequest &request, const std::string &path)
{
    const ExportStatus status = Export_WriteEntry(request, path);
    if (!status.Ok())
        window.ShowMessage(Export_Message(status));
    if (status.Ok() && status.surfacesDropped > 0)
        window.ShowMessage(Export_SurfacesLeftOutMessage(status.surfacesDropped));
    if (status.Ok() && status.nonFinite > 0)
        window.ShowMessage(Export_NonFiniteMessage(status.nonFinite));
    return status.Ok();
}

void OnExportRaw(ViewerWindow &window)
{
    if (viewer.preview.CurrentResource.empty())
        return;
    FileDialogRequest dialog{FileDialogFilter(kRawFilter), ".raw", true, true};
    std::string path;
    if (!window.AskFileName(dialog, path))
        return;
    ExportEntryRequest request;
    request.resource = viewer.preview.CurrentResource;
    WriteAndReport(window, request, path);
}

bool Export_InterpretedOffered(ResourceKind kind)
{
    const ResourceKindInfo &info = ResourceKind_Info(kind);
    if (!info.hasInterpretedExport || info.exportExtension == nullptr || info.exportExtension[0] == '\0')
        return false;
    // The OBJ form needs the model writer.
    return kind != KindModel || viewer.services.model.WriteObj != nullptr;
}

void Export_Interpreted(ViewerWindow &window)
{
    const ResourceKind kind = viewer.preview.resourceKind;
    if (viewer.preview.CurrentResource.empty() || !Export_InterpretedOffered(kind))
        return;
    ExportEntryRequest request = SelectionRequest();
    request.forms.interpreted = true;
    if (!CheckBeforeNaming(window, request))
        return;
    const std::string extension = ResourceKind_Info(kind).exportExtension;
    FileDialogRequest dialog{FileDialogFilter(Export_InterpretedFilter(kind)), "." + extension, true, true};
    std::string path;
    if (!window.AskFileName(dialog, path))
        return;
    WriteAndReport(window, request, path);
}

// The selected entry's file name with the form's extension, as Export All names its file.
static std::string ProposedName(ResourceKind kind, const ExportForms &forms)
{
    const int slot = viewer.session.selectedEntry;
    if (slot < 0 || static_cast<size_t>(slot) >= viewer.session.mainPak.entries.size())
        return "";
    std::vector<std::string> name{Export_SafeComponents(viewer.session.mainPak.entries[static_cast<size_t>(slot)]).back()};
    Export_AddFormExtension(name, kind, forms);
    return name.back();
}

void Export_AsForm(ViewerWindow &window, Command command)
{
    if (viewer.preview.CurrentResource.empty())
        return;
    ExportEntryRequest request = SelectionRequest();
    ExportForms &forms = request.forms;
    FileDialogRequest dialog{"", "", true, true};
    switch (command) {
    case CmdExportPng:
        forms.png = true;
        dialog.filter = "PNG Image (*.png)|*.png|All Files (*.*)|*.*";
        dialog.defaultExtension = ".png";
        break;
    case CmdExportGltf:
        forms.glb = true;
        dialog.filter = "glTF Binary (*.glb)|*.glb|glTF (*.gltf)|*.gltf|All Files (*.*)|*.*";
        dialog.defaultExtension = ".glb";
        break;
    case CmdExportObjMtl:
        forms.objMtl = true;
        dialog.filter = "WaveFront Object (*.obj)|*.obj|All Files (*.*)|*.*";
        dialog.defaultExtension = ".obj";
        break;
    case CmdExportWav:
        forms.wav = true;
        dialog.filter = "WAV Sound (*.wav)|*.wav|All Files (*.*)|*.*";
        dialog.defaultExtension = ".wav";
        break;
    default: return;
    }
    dialog.filter = FileDialogFilter(dialog.filter);
    dialog.proposedName = ProposedName(request.kind, forms);
    if (!CheckBeforeNaming(window, request))
        return;
    std::string path;
    if (!window.AskFileName(dialog, path))
        return;
    if (forms.glb && path.size() >= 5) {
        if (Ascii_Equal(std::string_view(path).substr(path.size() - 5), ".gltf")) {  // the .gltf filter: its .bin and PNGs go beside it
            forms.glb = false;
            forms.gltf = true;
        }
    }
    WriteAndReport(window, request, path);
}

bool BinText_OnOk(ViewerWindow &window, const DumpOptions &options)
{
    FileDialogRequest dialog{FileDialogFilter(kDumpFilter), ".txt", true, true};
    std::string path;
    if (!window.AskFileName(dialog, path))
        return false;
    ExportEntryRequest request;
    request.resource = viewer.preview.CurrentResource;
    request.dump = &options;
    // A failed dump keeps the dialog open, so that another name can be tried.
    return WriteAndReport(window, request, path);
}

void App_SaveViewImage(ViewerWindow &window)
{
    const ViewerServices &services = viewer.services;
    if (viewer.viewHidden)
        return;
    FileDialogRequest request;
    request.filter = "PNG Image (*.png)|" + CaseFoldPattern("*.png") + "|All Files (*.*)|*";
    request.defaultExtension = ".png";
    request.save = true;
    request.overwritePrompt = true;
    // The last choice is offered again.
    ViewImageChoice choice{viewer.viewImageScale, viewer.viewImageTransparent};
    request.imageChoice = &choice;
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    viewer.viewImageScale = choice.scale;
    viewer.viewImageTransparent = choice.transparent;
    TextureImage image;
    if (!services.render.CaptureView || !services.render.CaptureView(choice.scale, choice.transparent, image)) {
        window.ShowMessage("The view could not be drawn as a picture.");
        return;
    }
    const ExportResult result = Export_ToPath(path, "wb", [&](FILE *file) {
        return Png_Write(file, image) ? ExportResult::Ok : ExportResult::WriteFailed;
    });
    if (result != ExportResult::Ok)
        window.ShowMessage(Export_Message(result));
}
