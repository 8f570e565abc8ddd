// Materials and their textures for the view, found by the lookup rule in the
// open archive and the GLOBAL.PAK the viewer keeps, and uploaded as found.
#include "scene/scene.h"

#include "viewer/viewer_state.h"

namespace {

LookupArchives ViewArchives(LookupMemo *memo)
{
    LookupArchives archives;
    archives.main = &viewer.session.mainPak;
    archives.global = &viewer.session.globalPak;
    archives.memo = memo;
    // A texture or material replaced or added in the window shows before it is saved.
    archives.mainPending = [](size_t slot) { return Edits_Resource(viewer.session.edits, static_cast<int32_t>(slot)); };
    // A folder's other archives, in name order, when the user asked for them.
    if (viewer.session.folderMode && viewer.lookEverywhere)
        archives.elsewhere = [](const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes,
                                std::string &archive) {
            return ArchiveTree_LookElsewhere(viewer.session.tree, viewer.session.mainPak.path, name, kind, bytes, archive);
        };
    // The status bar says where the model's resources came from when not from its own archive.
    archives.foundOutside = [](const std::string &name, const std::string &archive) {
        viewer.preview.foundElsewhere.push_back(name + " in " + archive);
    };
    return archives;
}

// Hands out the next texture name and uploads the texture into it with the
// wrap pair. The name is taken even when the uploader stores nothing.
uint32_t LoadTexture(const std::vector<uint8_t> &bytes, const uint32_t wrap[2])
{
    int32_t &count = viewer.preview.materialTextureCount;
    const uint32_t textureName = static_cast<uint32_t>(count) + kFirstMaterialTexture;
    ++count;
    if (viewer.services.render.UploadTexture)
        viewer.services.render.UploadTexture(textureName, bytes.data(), static_cast<int32_t>(bytes.size()),
                                      TextureWrap{static_cast<int32_t>(wrap[0]), static_cast<int32_t>(wrap[1])});
    return textureName;
}

}  // namespace

bool Pak_OpenGlobal()
{
    return Lookup_OpenGlobal(viewer.session.mainPak, viewer.session.globalPak);
}

Material *Mat_Parse(const char *text, size_t length, const char *materialName, LookupMemo *memo)
{
    const MaterialText parsed = Mat_ParseText(text, length, materialName);
    Material *material = new Material(parsed.material);
    uint32_t *textures[] = {&material->diffuseTexture, &material->normalTexture, &material->specularTexture};
    Lookup_MaterialTextures(ViewArchives(memo), parsed,
                            [&](int map, const std::string &, std::vector<uint8_t> &bytes, const uint32_t wrap[2]) {
                                *textures[map] = LoadTexture(bytes, wrap);
                            });
    return material;
}

Material *Mat_FindByName(const char *materialName, LookupMemo *memo)
{
    std::vector<uint8_t> bytes;
    if (!Lookup_MaterialBytes(ViewArchives(memo), materialName, bytes))
        return nullptr;
    return Mat_Parse(reinterpret_cast<const char *>(bytes.data()), bytes.size(), materialName, memo);
}
