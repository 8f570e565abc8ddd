// Raw and interpreted exports, and what a failed export says.
#include "export/export.h"
#include "texture/texture.h"

#include <cstring>

std::string Export_Message(ExportResult result, const std::string &detail)
{
    switch (result) {
    case ExportResult::CannotOpen:
        return "Could not open file for writing.";
    case ExportResult::WriteFailed:
        return detail.empty() ? "Could not write the file." : "Could not write the file. " + detail;
    case ExportResult::NotOffered:
        return "This resource has no interpreted form to export.";
    case ExportResult::TooShort:
        return "This texture is too short to hold its header, so it has no .dds form.";
    case ExportResult::PngTooShort:
        return "This texture is too short to hold its header, so it has no .png form.";
    case ExportResult::NoModel:
        return "The model could not be read, so it was not exported.";
    case ExportResult::NotTexture:
        return "This resource is not a texture, so it has no .png form.";
    case ExportResult::NotModel:
        return "This resource is not a model, so it has no glTF or OBJ form.";
    case ExportResult::NotSound:
        return "This resource is not an Ogg Vorbis sound, so it has no .wav form.";
    case ExportResult::TextureUndecodable:
        return "This texture could not be decoded, so it has no .png form: " + detail;
    case ExportResult::SoundUndecodable:
        return "This sound could not be decoded, so it has no .wav form.";
    case ExportResult::SoundTooLong:
        return "This sound decodes to more than 1 GiB of samples, too much for a .wav file.";
    case ExportResult::NoStandardOutput:
        return "A glTF file cannot be written to standard output.";
    case ExportResult::GltfFailed:
    case ExportResult::CompanionFailed:
        return detail;
    case ExportResult::Ok:
        break;
    }
    return "";
}

std::string Export_SurfacesLeftOutMessage(int32_t surfaces)
{
    if (surfaces == 1)
        return "1 surface of this model could not be read and was left out of the export.";
    return std::to_string(surfaces) + " surfaces of this model could not be read and were left out of the export.";
}

std::string Export_NonFiniteMessage(int64_t numbers)
{
    if (numbers == 1)
        return "1 number of this model was not finite and was written as 0.";
    return std::to_string(numbers) + " numbers of this model were not finite and were written as 0.";
}

bool Export_WriteRaw(FILE *file, std::span<const uint8_t> bytes)
{
    return bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

static void PutU32LE(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

bool Export_BuildDdsHeader(std::span<const uint8_t> resource, uint8_t out[128])
{
    TextureHeader texture;
    memset(out, 0, 128);
    if (!Texture_ReadHeader(resource, texture))
        return false;
    memcpy(out, "DDS ", 4);
    PutU32LE(out + 4, 124);
    PutU32LE(out + 8, 0x21007);  // caps, height, width, pixel format, mip count
    PutU32LE(out + 12, texture.height);
    PutU32LE(out + 16, texture.width);
    PutU32LE(out + 28, texture.mipCount);
    PutU32LE(out + 76, 32);
    PutU32LE(out + 80, 4);       // four-character code
    memcpy(out + 84, Texture_FourCC(texture.format), 4);
    PutU32LE(out + 108, texture.mipCount > 1 ? 0x401008 : 0x1000);
    return true;
}

ExportResult Export_WriteDds(FILE *file, std::span<const uint8_t> resource)
{
    uint8_t header[128];
    if (!Export_BuildDdsHeader(resource, header))
        return ExportResult::TooShort;
    if (fwrite(header, 1, sizeof header, file) != sizeof header)
        return ExportResult::WriteFailed;
    return Export_WriteRaw(file, resource.subspan(kTextureHeaderSize)) ? ExportResult::Ok
                                                                       : ExportResult::WriteFailed;
}

ExportResult Export_WriteInterpreted(FILE *file, ResourceKind kind, std::span<const uint8_t> resource)
{
    const ResourceKindInfo &info = ResourceKind_Info(kind);
    if (!info.hasInterpretedExport || info.exportExtension[0] == '\0')
        return ExportResult::NotOffered;
    switch (kind) {
    case KindTexture:
        return Export_WriteDds(file, resource);
    case KindModel:
        return ExportResult::NoModel;  // written by the model writer
    default:
        return Export_WriteRaw(file, resource) ? ExportResult::Ok : ExportResult::WriteFailed;
    }
}

std::string Export_InterpretedFilter(ResourceKind kind)
{
    const ResourceKindInfo &info = ResourceKind_Info(kind);
    const char *description = kind == KindModel ? "WaveFront Object" : info.displayName;
    std::string ext = info.exportExtension;
    return std::string(description) + " (*." + ext + ")|*." + ext + "|All Files (*.*)|*.*";
}
