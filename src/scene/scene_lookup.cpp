// Materials and their textures found by name: first in the open archive,
// then in GLOBAL.PAK beside it, which is read once and kept. Every failure is
// silent and ends in "not found"; a missing diffuse map shows "__missingtexture".
#include "scene/scene.h"

#include "viewer/viewer_state.h"

#include <cstring>
#include <strings.h>

namespace {

bool ArchiveOpen()
{
    return viewer.mainPak.hasIndex;
}

// `name` of `kind` in the open archive, else in GLOBAL.PAK. A name `memo`
// (may be null) holds as not found is not searched for; one not found is added.
bool FindResource(const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes, LookupMemo *memo)
{
    if (name.empty())
        return false;
    // Entry names are matched with ASCII case ignored.
    std::string key = name;
    for (char &c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (memo && memo->notFound.count({key, kind}))
        return false;
    if (Pak_LoadEntryByName(name, kind, viewer.mainPak, bytes))
        return true;
    if (Pak_OpenGlobal() && Pak_LoadEntryByName(name, kind, viewer.globalPak, bytes))
        return true;
    if (memo)
        memo->notFound.insert({std::move(key), kind});
    return false;
}

// Hands out the next texture name and uploads the texture into it with the
// wrap pair. The name is taken even when the uploader stores nothing.
uint32_t LoadTexture(const std::vector<uint8_t> &bytes, const uint32_t wrap[2])
{
    int32_t &count = viewer.preview.materialTextureCount;
    const uint32_t textureName = static_cast<uint32_t>(count) + kFirstMaterialTexture;
    ++count;
    viewer.uploadWrapS = static_cast<int32_t>(wrap[0]);
    viewer.uploadWrapT = static_cast<int32_t>(wrap[1]);
    if (viewer.services.UploadTexture)
        viewer.services.UploadTexture(textureName, bytes.data(), static_cast<int32_t>(bytes.size()));
    return textureName;
}

}  // namespace

bool Pak_OpenGlobal()
{
    const PakArchive &mainPak = viewer.mainPak;
    if (!mainPak.hasIndex || strcasecmp(mainPak.baseName.c_str(), "GLOBAL") == 0)
        return false;
    if (viewer.globalPak.hasIndex)
        return true;
    // A refusal leaves globalPak without an index: the next lookup tries again.
    return Pak_OpenArchive(Pak_FindInFolder(mainPak.directory, "GLOBAL.PAK"), viewer.globalPak) == PakOpenResult::Ok;
}

Material *Mat_Parse(const char *text, size_t length, const char *materialName, LookupMemo *memo)
{
    MaterialText parsed = Mat_ParseText(text, length, materialName);
    Material *material = new Material(parsed.material);
    if (!ArchiveOpen())
        return material;

    std::vector<uint8_t> bytes;
    uint32_t *textures[] = {&material->diffuseTexture, &material->normalTexture, &material->specularTexture};
    const auto maps = Mat_MapLookups(parsed);
    for (size_t i = 0; i < maps.size(); ++i) {
        if (FindResource(maps[i].name, KindTexture, bytes, memo) ||
            (maps[i].fallback && FindResource(maps[i].fallback, KindTexture, bytes, memo)))
            *textures[i] = LoadTexture(bytes, maps[i].wrap);
    }
    return material;
}

Material *Mat_FindByName(const char *materialName, LookupMemo *memo)
{
    if (!materialName)
        return nullptr;
    if (!ArchiveOpen())
        return nullptr;
    std::vector<uint8_t> bytes;
    if (!FindResource(Mat_EntryName(materialName), KindMaterial, bytes, memo) || bytes.empty())
        return nullptr;
    return Mat_Parse(reinterpret_cast<const char *>(bytes.data()), bytes.size(), materialName, memo);
}
