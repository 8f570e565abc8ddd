// Model_Parse of a large model: 1024 surfaces sharing one buffer of about
// 500,000 vertices with 32-bit indices (each surface rebased, the first after
// a failed 16-bit attempt), the most the parse takes. Best and median of N rounds.
// Usage: bench_model_parse [ROUNDS]
#include "model/model.h"
#include "model_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const Bytes bytes = Fixture_Model(Fixture_LargeModel(1024, 500000));
    std::vector<double> ms;
    size_t surfaces = 0, vertices = 0, indices = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        Model *model = Model_Parse(bytes.data(), bytes.size());
        const auto end = std::chrono::steady_clock::now();
        if (!model) {
            fprintf(stderr, "the model did not parse\n");
            return 1;
        }
        surfaces = model->surfaces.size();
        vertices = indices = 0;
        for (const ModelSurface &s : model->surfaces) {
            vertices += s.vertices.size();
            indices += s.indices.size();
        }
        Model_Free(model);
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    printf("resource %zu bytes: %zu surfaces, %zu vertices, %zu indices\n", bytes.size(), surfaces, vertices,
           indices);
    printf("Model_Parse over %d rounds: best %.1f ms, median %.1f ms, worst %.1f ms\n", rounds, ms.front(),
           ms[ms.size() / 2], ms.back());
    return 0;
}
