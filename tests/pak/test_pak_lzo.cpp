// The archive's LZO1X expansion against the LZO library's own safe
// decompressor: the same bytes for every stream the library's compressors
// make, and the same refusals for streams cut short, bytes changed and rooms
// too small.
#include "pak/pak_local.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// What the library makes of `stream` with `capacity` bytes of room: the
// bytes, or nothing when it refuses.
bool LibraryExpands(const Bytes &stream, size_t capacity, Bytes &out)
{
    out.assign(capacity + 1, 0);
    lzo_uint produced = capacity;
    const int rc = lzo1x_decompress_safe(stream.data(), stream.size(), out.data(), &produced, nullptr);
    out.resize(produced);
    return rc == LZO_E_OK;
}

bool OursExpands(const Bytes &stream, size_t capacity, Bytes &out)
{
    out.assign(capacity + 1, 0);
    const int64_t produced = Pak_ExpandLzo1x(stream.data(), stream.size(), out.data(), capacity);
    out.resize(produced < 0 ? 0 : size_t(produced));
    return produced >= 0;
}

Bytes Compress(const Bytes &data, bool best)
{
    Bytes stream(data.size() + data.size() / 16 + 64 + 3);
    std::vector<uint8_t> work(best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
    lzo_uint length = stream.size();
    const int rc = best ? lzo1x_999_compress(data.data(), data.size(), stream.data(), &length, work.data())
                        : lzo1x_1_compress(data.data(), data.size(), stream.data(), &length, work.data());
    EXPECT_EQ(rc, LZO_E_OK);
    stream.resize(length);
    return stream;
}

// Data of the kinds entries hold: text from few words, noise, long runs,
// repeats from far back, and a mix of them.
Bytes Sample(int kind, size_t size, std::mt19937 &random)
{
    Bytes b(size);
    static const char *const kWords[] = {"the ", "lantern ", "burns ", "fenholt_", "777 ", "\r\n", "<event/>"};
    for (size_t i = 0; i < size;) {
        switch (kind) {
        case 0:
            for (const char *w = kWords[random() % 7]; *w && i < size; ++w)
                b[i++] = uint8_t(*w);
            break;
        case 1: b[i++] = uint8_t(random()); break;
        case 2: b[i] = uint8_t(i / 5000); ++i; break;
        case 3: b[i] = i < 70000 ? uint8_t(random()) : b[i - 60000 + i % 7]; ++i; break;
        default: b[i] = random() % 3 ? uint8_t('a' + random() % 4) : b[i / 2]; ++i; break;
        }
    }
    return b;
}

TEST(PakLzo, ExpandsAsTheLibraryAndRefusesWhatItRefuses)
{
    ASSERT_EQ(lzo_init(), LZO_E_OK);
    std::mt19937 random(7);
    size_t refused = 0;
    for (int kind = 0; kind < 5; ++kind)
        for (size_t size : {0u, 1u, 3u, 17u, 300u, 4096u, 200000u})
            for (bool best : {false, true}) {
                if (best && size > 4096)
                    continue;  // the best compression takes seconds on a large input
                const Bytes data = Sample(kind, size, random);
                const Bytes stream = Compress(data, best);
                Bytes ours, theirs;
                ASSERT_TRUE(OursExpands(stream, size, ours)) << kind << " " << size;
                EXPECT_EQ(ours, data) << kind << " " << size;
                // Rooms one byte short and ample.
                for (size_t room : {size ? size - 1 : 0, size + 100}) {
                    const bool mine = OursExpands(stream, room, ours);
                    ASSERT_EQ(mine, LibraryExpands(stream, room, theirs)) << kind << " " << size << " " << room;
                    if (mine) {
                        EXPECT_EQ(ours, theirs);
                    }
                }
                // Cut short, and bytes changed: the same answer, and where
                // both take the stream, the same bytes.
                for (int trial = 0; trial < 120 && !stream.empty(); ++trial) {
                    Bytes bad = stream;
                    if (trial % 4 == 0)
                        bad.resize(random() % bad.size());
                    else
                        for (int k = 0; k <= trial % 3; ++k)
                            bad[random() % bad.size()] = uint8_t(trial % 5 == 1 ? 0 : random());
                    const bool mine = OursExpands(bad, size + 64, ours);
                    ASSERT_EQ(mine, LibraryExpands(bad, size + 64, theirs))
                        << kind << " " << size << " trial " << trial;
                    if (mine) {
                        EXPECT_EQ(ours, theirs);
                    }
                    refused += !mine;
                }
            }
    EXPECT_GT(refused, 500u);  // the changed streams did reach the refusals
}

}  // namespace
