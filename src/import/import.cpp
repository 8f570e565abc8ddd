// Choosing what a file becomes, and the parts the texture importers share.
#include "import/import_local.h"
#include "base/ascii.h"
#include "base/platform.h"
#include "base/parallel.h"
#include "resource/resource_kind.h"
#include "texture/texture.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace {

std::string LowerExtension(std::string_view fileName)
{
    const size_t slash = fileName.find_last_of("/\\");
    const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = base.rfind('.');
    std::string ext(dot == std::string_view::npos ? std::string_view() : base.substr(dot + 1));
    return Ascii_Folded(ext);
}

}  // namespace

bool Import_IsModelFile(std::string_view fileName)
{
    const std::string ext = LowerExtension(fileName);
    return ext == "obj" || ext == "gltf" || ext == "glb";
}

ImportAs Import_Choose(std::string_view fileName, ResourceKind replacing)
{
    static constexpr std::string_view kTextures[] = {"png", "tga", "jpg", "jpeg", "bmp", "dds"};
    const std::string ext = LowerExtension(fileName);
    if (std::find(std::begin(kTextures), std::end(kTextures), ext) != std::end(kTextures))
        return ImportAs::Texture;
    if (ext == "wav" || ext == "ogg")
        return ImportAs::Sound;
    if (replacing == KindModel && Import_IsModelFile(fileName))
        return ImportAs::Model;
    return ImportAs::Raw;
}

std::string Import_EntryName(std::string_view fileName, ImportAs as)
{
    const std::string ext = LowerExtension(fileName);
    std::string name(fileName);
    if (as == ImportAs::Texture && Import_Choose(fileName) == ImportAs::Texture)
        name.erase(name.size() - ext.size() - 1);
    else if (as == ImportAs::Sound && ext == "wav")
        name.replace(name.size() - 3, 3, "ogg");
    // A file named only by its extension keeps it: the entry would have no name.
    const size_t slash = name.find_last_of("/\\");
    return name.empty() || slash == name.size() - 1 ? std::string(fileName) : name;
}

ModelImportOptions Import_ModelOptions(const std::string &path)
{
    const std::string folder = Sys_ParentFolder(path);
    return {folder.empty() ? "." : folder};
}

bool Import_ParseAs(std::string_view word, ImportAs &as)
{
    static constexpr std::pair<std::string_view, ImportAs> kWords[] = {
        {"raw", ImportAs::Raw}, {"texture", ImportAs::Texture}, {"sound", ImportAs::Sound}, {"model", ImportAs::Model}};
    for (const auto &[name, value] : kWords) {
        if (word == name) {
            as = value;
            return true;
        }
    }
    return false;
}

ImportResult Import_Convert(ImportAs as, std::span<const uint8_t> file, std::span<const uint8_t> old,
                            const TextureImportOptions &textureOptions, const SoundImportOptions &soundOptions,
                            const ModelImportOptions &modelOptions)
{
    switch (as) {
    case ImportAs::Texture:
        return Import_Texture(file, old, textureOptions);
    case ImportAs::Sound:
        return Import_Sound(file, soundOptions);
    case ImportAs::Model:
        return Import_Model(file, old, modelOptions);
    case ImportAs::Raw:
        break;
    }
    ImportResult result;
    result.ok = true;
    result.bytes.assign(file.begin(), file.end());
    return result;
}

ImportResult Import_Texture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture,
                            const TextureImportOptions &options)
{
    // Only a texture's header is kept: another kind's leading bytes say nothing of one.
    if (ClassifyResource(oldTexture) != KindTexture)
        oldTexture = {};
    if (file.size() >= 4 && memcmp(file.data(), "DDS ", 4) == 0)
        return Import_DdsTexture(file, oldTexture);
    return Import_ImageTexture(file, oldTexture, options);
}

bool Import_OldFormat(std::span<const uint8_t> oldTexture, uint32_t &format)
{
    TextureHeader header;
    if (!Texture_ReadHeader(oldTexture, header))
        return false;
    format = header.format;
    return true;
}

std::vector<uint8_t> Import_TextureShell(std::span<const uint8_t> oldTexture, uint32_t width, uint32_t height,
                                         uint32_t mipCount, uint32_t format, size_t dataBytes)
{
    std::vector<uint8_t> out(kTextureHeaderSize + dataBytes);
    if (oldTexture.size() >= kTextureHeaderSize)
        memcpy(out.data(), oldTexture.data(), kTextureHeaderSize);
    else
        memcpy(out.data(), "SYT", 3);
    Import_PutU32LE(out.data() + 28, width);
    Import_PutU32LE(out.data() + 32, height);
    Import_PutU32LE(out.data() + 40, mipCount);
    Import_PutU32LE(out.data() + 48, format);
    return out;
}

void Import_ParallelFor(size_t count, int threads, const std::function<void(size_t)> &work)
{
    Base_ParallelFor(count, threads, work);
}

uint64_t Import_PeakBytes(ImportAs as, std::span<const uint8_t> file)
{
    if (as == ImportAs::Sound)
        return file.size();  // the samples are encoded as they are read; the Ogg is smaller
    ImageHeader header;
    std::string why;
    if (as != ImportAs::Texture || (file.size() >= 4 && memcmp(file.data(), "DDS ", 4) == 0))
        return as == ImportAs::Texture ? file.size() : 0;
    if (!Import_ReadImageHeader(file, header, why) || header.width > kImportMaxSide || header.height > kImportMaxSide)
        return 0;
    // RGBA of every level (4/3 of the picture's) and blocks of up to a byte a pixel (4/3 again).
    return static_cast<uint64_t>(header.width) * header.height * 20 / 3 + 4096;
}

void ImportMemoryGate::Enter(uint64_t bytes)
{
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [&] { return running_ == 0 || held_ + bytes <= budget_; });
    held_ += bytes;
    ++running_;
}

void ImportMemoryGate::Leave(uint64_t bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ -= bytes;
        --running_;
    }
    freed_.notify_all();
}
