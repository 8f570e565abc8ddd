// Fuzz target: untrusted material text through the token scanner (every
// token within its 1023 characters, blocks named) and through the material
// parse, whose fields must come out of its fixed sets of values.
#include "fuzz_util.h"
#include "material/material.h"
#include "material/scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    TextScanner *scanner = Scan_FromText(text, size);
    FUZZ_CHECK(scanner);
    ScanToken token;
    size_t tokens = 0;
    while (Scan_NextToken(scanner, &token)) {
        FUZZ_CHECK(strlen(token.text) <= kScanTokenMax);
        ++tokens;
        FUZZ_CHECK(tokens <= size);  // every token takes at least one byte of text
    }
    FUZZ_CHECK(token.text[0] == '\0');
    Scan_Free(scanner);

    const MaterialText t = Mat_ParseText(text, size, "blooddripfull.mat");
    const Material &m = t.material;
    FUZZ_CHECK(m.alphaRef == 0.0f || m.alphaRef == 0.55f);
    FUZZ_CHECK(m.blendSrc == 0 || m.blendSrc == kGlOne || m.blendSrc == kGlSrcAlpha || m.blendSrc == kGlDstColor);
    FUZZ_CHECK(m.noDepthTest <= 1 && m.noDepthWrite <= 1 && m.noCull <= 1);
    FUZZ_CHECK(m.diffuseTexture == 0 && m.normalTexture == 0 && m.specularTexture == 0);
    for (uint32_t wrap : {t.diffuseWrap[0], t.diffuseWrap[1], t.sharedWrap[0], t.sharedWrap[1]})
        FUZZ_CHECK(wrap == kGlClamp || wrap == kGlRepeat || wrap == kGlClampToBorder);
    FUZZ_CHECK(t.diffuseName.size() <= kScanTokenMax && t.normalName.size() <= kScanTokenMax);
    return 0;
}
