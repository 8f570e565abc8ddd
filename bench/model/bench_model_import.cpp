// Import_Model of the largest model the parse takes (1024 surfaces sharing
// one buffer of about 500,000 vertices): its OBJ and GLB exports with every
// position moved, put back as new vertex data. Best and median of N rounds,
// and the process's peak resident size.
// Usage: bench_model_import [ROUNDS]
#include "export/export.h"
#include "export/gltf_writer.h"
#include "import/import.h"
#include "model/model.h"
#include "model_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

Bytes Written(const Model &model, bool glb)
{
    FILE *file = tmpfile();
    const bool ok = glb ? Gltf_WriteBinary(file, model, {}, nullptr) : Model_WriteObj(file, &model);
    Bytes bytes(ok ? static_cast<size_t>(ftell(file)) : 0);
    rewind(file);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
    fclose(file);
    return bytes;
}

}  // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const Bytes resource = Fixture_Model(Fixture_LargeModel(1024, 500000));
    Model *model = Model_Parse(resource.data(), resource.size());
    if (!model)
        return 1;
    Model moved;
    size_t vertices = 0, triangles = 0;
    for (const ModelSurface &s : model->surfaces) {
        ModelSurface copy = s;
        std::vector<ModelVertex> v(s.vertices.begin(), s.vertices.end());
        for (ModelVertex &x : v)
            x.position[1] += 0.25f;
        copy.vertices = ModelVertexArray(std::move(v));
        moved.surfaces.push_back(std::move(copy));
        vertices += s.vertices.size();
        triangles += Model_SurfaceCorners(s).size() / 3;
    }
    Model_Free(model);
    printf("resource %zu bytes: %zu surfaces, %zu vertices, %zu triangles\n", resource.size(),
           moved.surfaces.size(), vertices, triangles);
    for (const bool glb : {false, true}) {
        const Bytes file = Written(moved, glb);
        std::vector<double> ms;
        for (int r = 0; r < rounds; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const ImportResult result = Import_Model(file, resource, {});
            const auto end = std::chrono::steady_clock::now();
            if (!result.ok) {
                fprintf(stderr, "refused: %s\n", result.message.c_str());
                return 1;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(ms.begin(), ms.end());
        printf("%s of %zu bytes, Import_Model over %d rounds: best %.0f ms, median %.0f ms\n", glb ? "GLB" : "OBJ",
               file.size(), rounds, ms.front(), ms[ms.size() / 2]);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    printf("peak resident size %ld MiB (the model, its moved copy and both files included)\n", usage.ru_maxrss / 1024);
    return 0;
}
