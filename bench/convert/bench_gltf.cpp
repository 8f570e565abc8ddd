// Export_WriteGltf of the model benchmark's model (1024 surfaces, about 500,000
// vertices), as .glb and as .gltf with its .bin, into OUTDIR. Best and median
// of N rounds each; the parse is not timed.
// Usage: bench_gltf OUTDIR [ROUNDS]
#include "export/export_jobs.h"
#include "model/model.h"
#include "model_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUTDIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    const Bytes bytes = Fixture_Model(Fixture_LargeModel(1024, 500000));
    Model *model = Model_Parse(bytes.data(), bytes.size());
    if (!model) {
        fprintf(stderr, "the model did not parse\n");
        return 1;
    }
    size_t vertices = 0, indices = 0;
    for (const ModelSurface &s : model->surfaces) {
        vertices += s.vertices.size();
        indices += s.indices.size();
    }
    printf("model: %zu surfaces, %zu vertices, %zu indices\n", model->surfaces.size(), vertices, indices);
    for (const auto &[name, form] : {std::pair{"bench.glb", GltfForm::Binary}, {"bench.gltf", GltfForm::Separate}}) {
        const std::string path = std::string(argv[1]) + "/" + name;
        std::vector<double> ms;
        for (int r = 0; r < rounds; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const ExportStatus status = Export_WriteGltf(path, *model, {}, form);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (!status.Ok()) {
                fprintf(stderr, "%s: %s\n", path.c_str(), Export_Message(status).c_str());
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        printf("%-10s %d rounds: best %.1f ms, median %.1f ms, worst %.1f ms\n", name, rounds, ms.front(),
               ms[ms.size() / 2], ms.back());
    }
    Model_Free(model);
    return 0;
}
