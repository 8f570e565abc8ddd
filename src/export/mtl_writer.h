// The material library beside exported OBJ files: dkexport.mtl, which every
// OBJ export names ("mtllib ./dkexport.mtl", "usemtl <material name>").
// Several models exported into one folder share the one file.
#pragma once

#include <span>
#include <string>
#include <string_view>

struct MtlMaterial {
    std::string name;      // as the OBJ's usemtl line gives it (the surface's material name)
    std::string diffuse;   // texture entry names; empty: no such map
    std::string normal;
    std::string specular;
};

constexpr const char *kMtlFileName = "dkexport.mtl";
constexpr const char *kMtlTextureFolder = "textures";  // beside dkexport.mtl

// The PNG file name a texture entry is exported under in the textures folder:
// the entry name with '/', '\\' and every byte outside [A-Za-z0-9._-] replaced
// by '_', then ".png". Different names can give the same file (they then
// share it); an empty name gives "".
std::string Mtl_TextureFileName(std::string_view entryName);

// Adds to folder/dkexport.mtl a material for every name it does not define
// yet: "newmtl", then map_Kd, map_Bump and bump (the normal map), map_Ks for
// the maps that are named, as textures/<file>. What the file already holds is
// kept byte for byte, new materials follow it. Names that are empty or hold a
// line break are left out (no line can name them), as are repeats. The merged
// text goes to a temporary file in the folder that then replaces the old one,
// so the file is always whole. False, with a message in `*error` (may be
// null), when the old file cannot be read or the new one cannot be written.
bool Mtl_WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error);
