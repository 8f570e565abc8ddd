// Materials and their textures for the view, found by the lookup rule in the
// open archive and the GLOBAL.PAK the viewer keeps, and uploaded as found.
#include "scene/scene.h"

namespace {

LookupArchives ViewArchives(PreviewState &preview, const SceneSources &sources, LookupMemo *memo)
{
    LookupArchives archives;
    archives.main = sources.main;
    archives.global = sources.global;
    archives.memo = memo;
    // A texture or material replaced or added in the window shows before it is saved.
    if (const ArchiveEdits *edits = sources.edits)
        archives.mainPending = [edits](size_t slot) { return Edits_Resource(*edits, static_cast<int32_t>(slot)); };
    // A folder's other archives, in name order, when the user asked for them.
    if (sources.elsewhere && sources.main) {
        ArchiveTree *tree = sources.elsewhere;
        const PakArchive *opened = sources.main;
        archives.elsewhere = [tree, opened](const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes,
                                            std::string &archive) {
            return ArchiveTree_LookElsewhere(*tree, opened->path, name, kind, bytes, archive);
        };
    }
    // The status bar says where the model's resources came from when not from its own archive.
    archives.foundOutside = [&preview](const std::string &name, const std::string &archive) {
        preview.foundElsewhere.push_back(name + " in " + archive);
    };
    return archives;
}

// Hands out the next texture name and uploads the texture into it with the
// wrap pair. The name is taken even when the uploader stores nothing.
uint32_t LoadTexture(PreviewState &preview, const SceneSources &sources, const std::vector<uint8_t> &bytes,
                     const uint32_t wrap[2])
{
    int32_t &count = preview.materialTextureCount;
    const uint32_t textureName = static_cast<uint32_t>(count) + kFirstMaterialTexture;
    ++count;
    if (sources.upload)
        sources.upload(textureName, bytes.data(), static_cast<int32_t>(bytes.size()),
                       TextureWrap{static_cast<int32_t>(wrap[0]), static_cast<int32_t>(wrap[1])});
    return textureName;
}

}  // namespace

bool Pak_OpenGlobal(const SceneSources &sources)
{
    return sources.main && sources.global && Lookup_OpenGlobal(*sources.main, *sources.global);
}

Material *Mat_Parse(PreviewState &preview, const SceneSources &sources, const char *text, size_t length,
                    const char *materialName, LookupMemo *memo)
{
    const MaterialText parsed = Mat_ParseText(text, length, materialName);
    Material *material = new Material(parsed.material);
    uint32_t *textures[] = {&material->diffuseTexture, &material->normalTexture, &material->specularTexture};
    Lookup_MaterialTextures(ViewArchives(preview, sources, memo), parsed,
                            [&](int map, const std::string &, std::vector<uint8_t> &bytes, const uint32_t wrap[2]) {
                                *textures[map] = LoadTexture(preview, sources, bytes, wrap);
                            });
    return material;
}

Material *Mat_FindByName(PreviewState &preview, const SceneSources &sources, const char *materialName,
                         LookupMemo *memo)
{
    std::vector<uint8_t> bytes;
    if (!Lookup_MaterialBytes(ViewArchives(preview, sources, memo), materialName, bytes))
        return nullptr;
    return Mat_Parse(preview, sources, reinterpret_cast<const char *>(bytes.data()), bytes.size(), materialName,
                     memo);
}
