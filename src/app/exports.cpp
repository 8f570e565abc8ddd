// Export > "&Raw (F2)", "&Interpreted (F3)" and the OK of the Binary-Text Dump.
// Every failed open, write or close is reported; nothing passes as success.
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/main_dialog.h"
#include "export/export_jobs.h"
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

static void ReportExport(ViewerWindow &window, ExportResult result)
{
    if (result != ExportResult::Ok)
        window.ShowMessage(Export_Message(result));
}

void OnExportRaw(ViewerWindow &window)
{
    const std::vector<uint8_t> &bytes = viewer.preview.CurrentResource;
    if (bytes.empty())
        return;
    FileDialogRequest request{FileDialogFilter(kRawFilter), ".raw", true, true};
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    ReportExport(window, Export_ToPath(path, "wb", [&](FILE *file) {
                     return Export_WriteRaw(file, bytes) ? ExportResult::Ok : ExportResult::WriteFailed;
                 }));
}

bool Export_InterpretedOffered(ResourceKind kind)
{
    const ResourceKindInfo &info = ResourceKind_Info(kind);
    if (!info.hasInterpretedExport || info.exportExtension == nullptr || info.exportExtension[0] == '\0')
        return false;
    // The OBJ form needs the model writer.
    return kind != KindModel || viewer.services.Model_WriteObj != nullptr;
}

void Export_Interpreted(ViewerWindow &window)
{
    const std::vector<uint8_t> &bytes = viewer.preview.CurrentResource;
    const ResourceKind kind = viewer.preview.resourceKind;
    if (bytes.empty() || !Export_InterpretedOffered(kind))
        return;
    // Refusals are told before a file is named, so that no empty file is left
    // behind. A model that no frame has prepared yet is read now.
    const Model *model = nullptr;
    if (kind == KindModel && viewer.services.Model_ForExport)
        model = viewer.services.Model_ForExport();
    const ExportResult check = Export_CheckInterpreted(kind, bytes, model);
    if (check != ExportResult::Ok) {
        window.ShowMessage(Export_Message(check));
        return;
    }
    const std::string extension = ResourceKind_Info(kind).exportExtension;
    FileDialogRequest request{FileDialogFilter(Export_InterpretedFilter(kind)), "." + extension, true, true};
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    const ExportResult result = Export_ToPath(path, "wb", [&](FILE *file) {
        if (kind == KindModel)
            return viewer.services.Model_WriteObj(file) ? ExportResult::Ok : ExportResult::WriteFailed;
        return Export_WriteInterpreted(file, kind, bytes);
    });
    ReportExport(window, result);
    // The file holds every surface the parse could read; the user learns of the rest.
    if (result == ExportResult::Ok && model && model->surfacesDropped > 0)
        window.ShowMessage(Export_SurfacesLeftOutMessage(model->surfacesDropped));
}

// The selected entry's file name with the form's extension, as Export All names its file.
static std::string ProposedName(ResourceKind kind, const ExportForms &forms)
{
    const int slot = viewer.selectedEntry;
    if (slot < 0 || static_cast<size_t>(slot) >= viewer.mainPak.entries.size())
        return "";
    std::vector<std::string> name{Export_SafeComponents(viewer.mainPak.entries[static_cast<size_t>(slot)]).back()};
    const char *replaces = nullptr;
    const char *extension = Export_FormExtension(kind, forms, &replaces);
    if (replaces)
        Export_ReplaceExtension(name, replaces, extension);
    else if (extension[0] != '\0')
        Export_AddExtension(name, extension);
    return name.back();
}

void Export_AsForm(ViewerWindow &window, Command command)
{
    const std::vector<uint8_t> &bytes = viewer.preview.CurrentResource;
    const ResourceKind kind = viewer.preview.resourceKind;
    if (bytes.empty())
        return;
    ExportForms forms;
    FileDialogRequest request{"", "", true, true};
    switch (command) {
    case CmdExportPng:
        forms.png = true;
        request.filter = "PNG Image (*.png)|*.png|All Files (*.*)|*.*";
        request.defaultExtension = ".png";
        break;
    case CmdExportGltf:
        forms.glb = true;
        request.filter = "glTF Binary (*.glb)|*.glb|glTF (*.gltf)|*.gltf|All Files (*.*)|*.*";
        request.defaultExtension = ".glb";
        break;
    case CmdExportObjMtl:
        forms.objMtl = true;
        request.filter = "WaveFront Object (*.obj)|*.obj|All Files (*.*)|*.*";
        request.defaultExtension = ".obj";
        break;
    case CmdExportWav:
        forms.wav = true;
        request.filter = "WAV Sound (*.wav)|*.wav|All Files (*.*)|*.*";
        request.defaultExtension = ".wav";
        break;
    default: return;
    }
    request.filter = FileDialogFilter(request.filter);
    request.proposedName = ProposedName(kind, forms);
    // Refusals are told before a file is named, as for the interpreted export.
    const Model *model = nullptr;
    if (kind == KindModel && viewer.services.Model_ForExport)
        model = viewer.services.Model_ForExport();
    if (kind == KindModel || kind == KindTexture) {
        const ExportResult check = Export_CheckInterpreted(kind, bytes, model);
        if (check != ExportResult::Ok) {
            window.ShowMessage(Export_Message(check));
            return;
        }
    }
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    if (forms.glb && path.size() >= 5) {
        std::string tail = path.substr(path.size() - 5);
        for (char &c : tail)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (tail == ".gltf") {  // the .gltf filter: its .bin and PNGs go beside it
            forms.glb = false;
            forms.gltf = true;
        }
    }
    std::string message;
    const ExportResult result =
        Export_WriteFormToPath(path, &viewer.mainPak, kind, bytes, forms, model, false, message);
    if (result != ExportResult::Ok && !message.empty())
        window.ShowMessage(message);
    else
        ReportExport(window, result);
    if (result == ExportResult::Ok && model && model->surfacesDropped > 0)
        window.ShowMessage(Export_SurfacesLeftOutMessage(model->surfacesDropped));
}

bool BinText_OnOk(ViewerWindow &window, const DumpOptions &options)
{
    FileDialogRequest request{FileDialogFilter(kDumpFilter), ".txt", true, true};
    std::string path;
    if (!window.AskFileName(request, path))
        return false;
    const std::vector<uint8_t> &bytes = viewer.preview.CurrentResource;
    const ExportResult result = Export_ToPath(path, "w", [&](FILE *file) {
        return Export_WriteDump(file, bytes, options) ? ExportResult::Ok : ExportResult::WriteFailed;
    });
    // A failed dump keeps the dialog open, so that another name can be tried.
    ReportExport(window, result);
    return result == ExportResult::Ok;
}
