// One entry in the form ExportForms gives its kind, written to an open file,
// and the material library and textures an OBJ names beside it.
#include "export/export_local.h"

#include "base/file_io.h"
#include "base/platform.h"
#include "export/export_files.h"
#include "export/png_writer.h"
#include "model/model.h"
#include "sound/sound.h"
#include "texture/texture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

ExportForm Export_FormOf(ResourceKind kind, const ExportForms &forms)
{
    if (forms.wav && kind == KindOggVorbis)
        return ExportForm::Wav;
    if (forms.png && kind == KindTexture)
        return ExportForm::Png;
    if (kind == KindModel) {
        if (forms.glb)
            return ExportForm::Glb;
        if (forms.gltf)
            return ExportForm::Gltf;
        if (forms.objMtl)
            return ExportForm::ObjMtl;
    }
    if (forms.interpreted && ResourceKind_Info(kind).hasInterpretedExport)
        return ExportForm::Interpreted;
    return ExportForm::Raw;
}

const char *Export_FormExtension(ResourceKind kind, const ExportForms &forms, const char **replaces)
{
    *replaces = nullptr;
    switch (Export_FormOf(kind, forms)) {
    case ExportForm::Wav: *replaces = "ogg"; return "wav";
    case ExportForm::Png: return "png";
    case ExportForm::Glb: return "glb";
    case ExportForm::Gltf: return "gltf";
    case ExportForm::ObjMtl: return "obj";
    case ExportForm::Interpreted: return ResourceKind_Info(kind).exportExtension;
    case ExportForm::Raw: break;
    }
    return "";
}

ExportResult Export_CheckInterpreted(ResourceKind kind, std::span<const uint8_t> resource, const Model *model)
{
    if (!ResourceKind_Info(kind).hasInterpretedExport || resource.empty())
        return ExportResult::NotOffered;
    // A texture without a whole header has no .dds form.
    if (kind == KindTexture && resource.size() < kTextureHeaderSize)
        return ExportResult::TooShort;
    if (kind == KindModel && !model)
        return ExportResult::NoModel;
    return ExportResult::Ok;
}

ExportResult Export_CheckPng(std::span<const uint8_t> resource)
{
    const ExportResult check = Export_CheckInterpreted(KindTexture, resource, nullptr);
    return check == ExportResult::TooShort ? ExportResult::PngTooShort : check;
}

// The OBJ text of `model`, or of the model parsed from `resource` when null.
static ExportStatus WriteObj(FILE *file, std::span<const uint8_t> resource, const Model *model)
{
    std::unique_ptr<Model, void (*)(Model *)> parsed(nullptr, Model_Free);
    if (!model) {
        parsed.reset(Model_Parse(resource.data(), resource.size()));
        model = parsed.get();
    }
    if (!model)
        return ExportResult::NoModel;
    ExportStatus status;
    if (!Model_WriteObj(file, model, &status.nonFinite))
        status = ExportResult::WriteFailed;
    return status;
}

ExportStatus Export_WriteForm(FILE *file, ResourceKind kind, std::span<const uint8_t> resource,
                              const ExportForms &forms, const Model *model)
{
    switch (Export_FormOf(kind, forms)) {
    case ExportForm::Glb:
    case ExportForm::Gltf:
        return ExportResult::NoStandardOutput;
    case ExportForm::Png: {
        TextureImage image;
        std::string error;
        if (!Texture_DecodeLevel(resource, 0, image, &error))
            return {ExportResult::TextureUndecodable, error};
        if (Png_Write(file, image, &error))
            return ExportResult::Ok;
        return {ExportResult::WriteFailed, Png_FailureDetail(error)};
    }
    case ExportForm::ObjMtl:
        return WriteObj(file, resource, model);
    case ExportForm::Wav:
        switch (S_WriteWavFromOgg(file, resource)) {
        case WavResult::Ok: return ExportResult::Ok;
        case WavResult::WriteFailed: return ExportResult::WriteFailed;
        case WavResult::TooLong: return ExportResult::SoundTooLong;
        case WavResult::NotDecodable: return ExportResult::SoundUndecodable;
        }
        return ExportResult::SoundUndecodable;
    case ExportForm::Interpreted:
        if (kind == KindModel)
            return WriteObj(file, resource, model);
        return Export_WriteInterpreted(file, kind, resource);
    case ExportForm::Raw:
        break;
    }
    return Export_WriteRaw(file, resource) ? ExportResult::Ok : ExportResult::WriteFailed;
}

ExportStatus Export_CompareForm(int dirFd, ResourceKind kind, std::span<const uint8_t> resource,
                                const ExportForms &forms, std::span<const uint8_t> file, bool &same)
{
    same = false;
    if (Export_FormOf(kind, forms) == ExportForm::Raw) {
        same = std::equal(resource.begin(), resource.end(), file.begin(), file.end());
        return ExportResult::Ok;
    }
    std::string temp;
    const int fd = Base_CreateTempIn(dirFd, temp);
    if (fd < 0)
        return {ExportResult::CannotOpen, strerror(errno)};
    FILE *stream = Sys_StreamFromFd(fd, "wb");
    if (!stream) {
        Sys_Close(fd);
        Sys_RemoveAt(dirFd, temp);
        return ExportResult::CannotOpen;
    }
    ExportStatus status = Export_WriteForm(stream, kind, resource, forms, nullptr);
    if ((fflush(stream) != 0 || ferror(stream)) && status.Ok())
        status = ExportResult::WriteFailed;
    if (fclose(stream) != 0 && status.Ok())
        status = ExportResult::WriteFailed;
    int64_t length = -1;
    const int in = status.Ok() ? Sys_OpenRegularRead(Sys_FolderPath(dirFd) + "/" + temp, &length) : -1;
    // A form of another length differs: nothing to read back.
    if (in >= 0 && length == static_cast<int64_t>(file.size())) {
        // Compared piece by piece: a long sound's WAV is not held twice.
        uint8_t piece[1 << 16];
        int64_t at = 0, got = 0;
        same = true;
        while (same && at < length && (got = Sys_ReadAt(in, piece, sizeof piece, at)) > 0) {
            same = memcmp(piece, file.data() + at, static_cast<size_t>(std::min<int64_t>(got, length - at))) == 0;
            at += got;
        }
        same = same && at == length;
    }
    if (in >= 0)
        Sys_Close(in);
    Sys_RemoveAt(dirFd, temp);
    return status;
}

// dkexport.mtl of a folder merges with another export's at any time (other
// workers, other jobs): one at a time.
static std::mutex mtlMutex;

ExportStatus Export_WriteMtlBeside(const std::string &folder, const std::vector<MtlMaterial> &mtl,
                                   const ExportPngFiles &pngs, bool overwrite)
{
    auto fail = [](std::string message) { return ExportStatus(ExportResult::CompanionFailed, std::move(message)); };
    std::lock_guard lock(mtlMutex);
    if (!pngs.empty()) {
        const int dir = Sys_OpenFolder(folder);
        if (dir < 0)
            return fail(std::string("Could not open the folder of the .obj file: ") + strerror(errno));
        int textures = -1;
        if (Sys_MakeSubfolder(dir, kMtlTextureFolder) || errno == EEXIST)
            textures = Sys_OpenSubfolder(dir, kMtlTextureFolder);
        const int openError = errno;
        Sys_Close(dir);
        if (textures < 0)
            return fail(std::string("Could not make the textures folder: ") + strerror(openError));
        std::string message;
        for (const auto &[name, bytes] : pngs) {
            const SysKind existing = Sys_KindAt(textures, name, false);
            if (existing != SysKind::Missing && existing != SysKind::Failed) {
                if (existing == SysKind::Link) {
                    message = "textures/" + name + ": a symbolic link is in the way";
                    break;
                }
                if (!overwrite)
                    continue;
            }
            std::string temp;
            const int fd = Base_CreateTempIn(textures, temp);
            if (fd < 0) {
                message = "textures/" + name + ": " + strerror(errno);
                break;
            }
            const bool written = Base_WriteAll(fd, bytes.data(), bytes.size());
            if (!(Sys_Close(fd) && written) ||
                (!Base_PlaceTemp(textures, temp, textures, name, overwrite) && errno != EEXIST)) {
                message = "textures/" + name + ": " + strerror(errno);
                Sys_RemoveAt(textures, temp);
                break;
            }
            Sys_RemoveAt(textures, temp);  // left only when kept (EEXIST)
        }
        Sys_Close(textures);
        if (!message.empty())
            return fail(message);
    }
    std::string error;
    if (!Mtl_WriteMerged(folder, mtl, &error))
        return fail(error);
    return ExportResult::Ok;
}
