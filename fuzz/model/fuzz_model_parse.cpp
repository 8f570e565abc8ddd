// Fuzz target: an untrusted model resource through the heuristic parse, and
// what it gives through the OBJ writer. Every surface must keep its promises:
// its arrays as long as its counts say and every index below its vertex count.
#include "fuzz_util.h"
#include "export/export.h"
#include "model/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *sink = fopen("/dev/null", "w");
    Model *model = Model_Parse(data, size);
    if (!model)
        return 0;
    FUZZ_CHECK(!model->surfaces.empty() && model->surfaces.size() <= static_cast<size_t>(kModelMaxSurfaces));
    FUZZ_CHECK(model->surfacesDropped >= 0 &&
               model->surfaces.size() + static_cast<size_t>(model->surfacesDropped) <= kModelMaxSurfaces);
    for (const ModelSurface &s : model->surfaces) {
        FUZZ_CHECK(s.indicesPerElement == 1 || s.indicesPerElement == 3);
        FUZZ_CHECK(s.elementCount > 0 && s.indices.size() == static_cast<size_t>(s.elementCount) * s.indicesPerElement);
        FUZZ_CHECK(s.vertexCount > 0 && s.vertices.size() == static_cast<size_t>(s.vertexCount));
        for (uint16_t index : s.indices)
            FUZZ_CHECK(index < s.vertexCount);
        FUZZ_CHECK(s.materialName[kModelNameSize - 1] == '\0');
        FUZZ_CHECK(s.material == nullptr && s.hidden == 0);
    }
    FUZZ_CHECK(Model_WriteObj(sink, model));
    Model_Free(model);
    return 0;
}
