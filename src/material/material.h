// Materials: the text resource a surface names, read with the token scanner
// into a Material (textures, alpha test, blending, depth and cull switches,
// texture scrolling) and the names and wrap modes of its textures. Plain C++;
// the viewer's lookups and uploads of those textures are src/scene.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The GL enums a material's fields hold (numbers, so that no GL header is needed).
constexpr uint32_t kGlClamp = 0x2900;
constexpr uint32_t kGlRepeat = 0x2901;
constexpr uint32_t kGlClampToBorder = 0x812D;
constexpr uint32_t kGlZero = 0;
constexpr uint32_t kGlOne = 1;
constexpr uint32_t kGlSrcAlpha = 0x0302;
constexpr uint32_t kGlOneMinusSrcAlpha = 0x0303;
constexpr uint32_t kGlDstColor = 0x0306;

constexpr uint32_t kFirstMaterialTexture = 2;  // texture name 1 is the texture preview's

struct Material {
    uint32_t diffuseTexture = 0;    // GL texture names; 0 = none
    uint32_t normalTexture = 0;
    uint32_t specularTexture = 0;
    float specularExponent = 32.0f;  // for the lighting programs; no key sets it
    float alphaRef = 0.55f;          // alpha-test reference; 0 = no alpha test
    uint32_t blendSrc = 0;           // GL blend factors; blendSrc 0 = no blending
    uint32_t blendDst = 0;
    uint8_t noDepthWrite = 0;
    uint8_t noDepthTest = 0;
    uint8_t noCull = 0;
    float uVelocity = 0.0f;  // texture scroll, texture units per second
    float vVelocity = 0.0f;
};

// What the text of a material says: the record's fields, and the names and
// wrap modes of the textures still to be looked up.
struct MaterialText {
    Material material;
    std::string diffuseName, normalName, specularName;
    uint32_t diffuseWrap[2] = {kGlClamp, kGlClamp};  // s, t
    uint32_t sharedWrap[2] = {kGlClamp, kGlClamp};   // the normal and specular maps'
};

// Reads `length` bytes of material text (up to its first NUL). `materialName`
// is the name the surface gave, extension included. Never fails: whatever is
// not understood leaves the defaults.
MaterialText Mat_ParseText(const char *text, size_t length, const char *materialName);

// The entry a surface's material is kept under: its name without a ".mat"
// ending (in any case).
std::string Mat_EntryName(const char *materialName);

// A texture map of a material as it is looked up: under `name`, else under
// `fallback` (null: none), then uploaded with `wrap`.
struct MaterialMapLookup {
    std::string name;
    const char *fallback;
    uint32_t wrap[2];
};

// The maps of `parsed` in the order they are looked up and take their texture
// names: diffuse, normal, specular. A missing diffuse map shows
// "__missingtexture"; the others have no stand-in.
std::array<MaterialMapLookup, 3> Mat_MapLookups(const MaterialText &parsed);
