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
constexpr const char *kMtlLockName = ".dkexport.mtl.lock";  // beside it: held while it is merged

// The PNG file name a texture entry is exported under in the textures folder:
// the entry name with '/', '\\' and every byte outside [A-Za-z0-9._-] replaced
// by '_', then, when a byte was replaced, "-" and eight hex digits of a hash
// of the whole name (so "a/b_d", "a\\b_d" and "a_b_d" get three files, in
// every export into the folder alike), then ".png". An empty name gives "".
std::string Mtl_TextureFileName(std::string_view entryName);

// A material name as the OBJ's usemtl and the library's newmtl lines give it:
// control bytes (a line break would start a line of its own) become '_'.
std::string Mtl_LineSafeName(std::string_view name);

// Adds to folder/dkexport.mtl a material for every name it does not define
// yet: "newmtl", then map_Kd, map_Bump and bump (the normal map), map_Ks for
// the maps that are named, as textures/<file>. What the file already holds is
// kept byte for byte, new materials follow it. Names go in as
// Mtl_LineSafeName gives them; empty names and repeats are left out. The
// existing file is read only when it is a regular file, never through a link. The merged
// text goes to a temporary file in the folder that then replaces the old one,
// so the file is always whole. Exports into one folder at once, from any
// process, merge in turn under an advisory lock on .dkexport.mtl.lock there. False, with a message in `*error` (may be
// null), when the old file cannot be read or the new one cannot be written.
bool Mtl_WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error);
