// Fuzz target: an untrusted OBJ, glTF or GLB file given as new vertex data
// for a fixed model (the one the seeds were exported from). A refusal says
// why and gives nothing; a model that is taken keeps its size and parses again.
#include "import/import.h"
#include "fuzz_util.h"
#include "model/model.h"
#include "model_fixtures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Bytes model = Fixture_Model(Fixture_SharedStrips(2, 3));
    // No folder: a .gltf that names files is refused, as nothing may be read.
    const ImportResult result = Import_Model({data, size}, model, {});
    if (!result.ok) {
        FUZZ_CHECK(!result.message.empty() && result.bytes.empty());
        return 0;
    }
    FUZZ_CHECK(result.bytes.size() == model.size());
    Model *again = Model_Parse(result.bytes.data(), result.bytes.size());
    FUZZ_CHECK(again != nullptr);
    Model_Free(again);
    return 0;
}
