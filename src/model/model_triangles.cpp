// A surface's triangles as the writers and the importer count them.
#include "model/model.h"

#include <cstddef>

std::vector<uint32_t> Model_SurfaceCorners(const ModelSurface &surface)
{
    std::vector<uint32_t> out;
    const std::vector<uint16_t> &indices = surface.indices;
    const size_t count = indices.size();
    if (surface.indicesPerElement == 3) {
        out.assign(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(count / 3 * 3));
    } else if (count >= 3) {
        // Every strip triangle in the same corner order: the winding of every
        // second one is not swapped.
        out.reserve((count - 2) * 3);
        for (size_t j = 2; j < count; ++j)
            out.insert(out.end(), {indices[j - 2], indices[j - 1], indices[j]});
    }
    return out;
}
