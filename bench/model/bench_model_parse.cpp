// Model_Parse of a large model: 1024 surfaces sharing one buffer of about
// 500,000 vertices with 32-bit indices (each surface rebased, the first after
// a failed 16-bit attempt), the most the parse takes; and of one strip of
// 80,002 vertices whose texture coordinates are all tiny (0.005), so that the
// texture-coordinate search walks every candidate to the end of the surface.
// Best and median of N rounds.
// Usage: bench_model_parse [ROUNDS]
#include "model/model.h"
#include "model_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Parses `bytes` `rounds` times and prints the model's size and the times.
bool Time(const char *what, const Bytes &bytes, int rounds)
{
    std::vector<double> ms;
    size_t surfaces = 0, vertices = 0, indices = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        Model *model = Model_Parse(bytes.data(), bytes.size());
        const auto end = std::chrono::steady_clock::now();
        if (!model) {
            fprintf(stderr, "%s: the model did not parse\n", what);
            return false;
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
    printf("%s, resource %zu bytes: %zu surfaces, %zu vertices, %zu indices\n", what, bytes.size(), surfaces,
           vertices, indices);
    printf("Model_Parse over %d rounds: best %.1f ms, median %.1f ms, worst %.1f ms\n", rounds, ms.front(),
           ms[ms.size() / 2], ms.back());
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    ModelFixture tiny;
    tiny.surfaces.push_back(Fixture_StripPanel("tiny", 0, 0, 1, 1, 0, 40000));
    for (ModelFixtureVertex &v : tiny.surfaces[0].vertices)
        v.u = v.v = 0.005f;
    const bool ok = Time("largest model", Fixture_Model(Fixture_LargeModel(1024, 500000)), rounds) &&
                    Time("tiny texture coordinates", Fixture_Model(tiny), rounds);
    return ok ? 0 : 1;
}
