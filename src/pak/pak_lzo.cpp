// Expanding an LZO1X stream. Every read is checked against the stream's end,
// every write against the output's room and every back-reference against the
// output's start, as the library's safe decompressor checks them; runs of
// literals and matches far enough back are copied eight bytes at a time
// where the room allows, which is most of the time an entry takes.
#include "pak/pak_local.h"

#include <cstring>

namespace {

// Adds the length bytes of a long run or match (zeros worth 255 each, then
// one that ends it) to `t`; false when the stream ends first.
bool LongLength(const uint8_t *&ip, const uint8_t *end, size_t &t, size_t base)
{
    while (ip < end && *ip == 0) {
        t += 255;
        ++ip;
    }
    if (ip >= end)
        return false;
    t += base + *ip++;
    return true;
}

// Copies `n` bytes from `from` (behind `op`) to `op`, byte order kept where
// they overlap. `slack` bytes past op + n may be written over: they lie in the
// output's room and are written again later or are past what is produced.
inline void CopyMatch(uint8_t *op, const uint8_t *from, size_t n, bool slack)
{
    if (slack && op - from >= 8) {
        for (size_t i = 0; i < n; i += 8)
            memcpy(op + i, from + i, 8);
        return;
    }
    for (size_t i = 0; i < n; ++i)
        op[i] = from[i];
}

}  // namespace

int64_t Pak_ExpandLzo1x(const uint8_t *in, size_t inLength, uint8_t *out, size_t capacity)
{
    const uint8_t *ip = in;
    const uint8_t *const ipEnd = in + inLength;
    uint8_t *op = out;
    uint8_t *const opEnd = out + capacity;
    size_t t = 0;
    auto needIn = [&](size_t n) { return static_cast<size_t>(ipEnd - ip) >= n; };
    auto needOut = [&](size_t n) { return static_cast<size_t>(opEnd - op) >= n; };
    auto literals = [&](size_t n) {
        if (!needOut(n) || !needIn(n))
            return false;
        if (needOut(n + 8) && needIn(n + 8)) {
            for (size_t i = 0; i < n; i += 8)
                memcpy(op + i, ip + i, 8);
        } else {
            memcpy(op, ip, n);
        }
        op += n;
        ip += n;
        return true;
    };
    // A match of `n` bytes from `back` bytes behind; false when it starts
    // before the output or reaches past the output's room.
    auto match = [&](size_t back, size_t n) {
        if (back > static_cast<size_t>(op - out) || !needOut(n))
            return false;
        CopyMatch(op, op - back, n, needOut(n + 8));
        op += n;
        return true;
    };

    enum class Next { Instruction, FirstLiteralRun, Match, MatchNext };
    Next next = Next::Instruction;
    if (!needIn(1))
        return -1;
    if (*ip > 17) {
        t = static_cast<size_t>(*ip++ - 17);
        if (t < 4) {
            next = Next::MatchNext;
        } else {
            if (!literals(t))
                return -1;
            next = Next::FirstLiteralRun;
        }
    }
    for (;;) {
        switch (next) {
        case Next::Instruction:
            if (!needIn(1))
                return -1;
            t = *ip++;
            if (t >= 16) {
                next = Next::Match;
                continue;
            }
            if (t == 0 && !LongLength(ip, ipEnd, t, 15))
                return -1;
            if (!literals(t + 3))
                return -1;
            [[fallthrough]];
        case Next::FirstLiteralRun:
            if (!needIn(1))
                return -1;
            t = *ip++;
            if (t >= 16) {
                next = Next::Match;
                continue;
            }
            // Three bytes from 2049 to 3072 back, right after a run of literals.
            if (!needIn(1))
                return -1;
            {
                const size_t back = 1 + 0x0800 + (t >> 2) + (static_cast<size_t>(*ip++) << 2);
                if (!match(back, 3))
                    return -1;
            }
            break;
        case Next::Match:
            if (t >= 64) {  // 3 to 8 bytes from up to 2048 back
                if (!needIn(1))
                    return -1;
                const size_t back = 1 + ((t >> 2) & 7) + (static_cast<size_t>(*ip++) << 3);
                if (!match(back, (t >> 5) + 1))
                    return -1;
            } else if (t >= 32) {  // from up to 16384 back
                t &= 31;
                if (t == 0 && !LongLength(ip, ipEnd, t, 31))
                    return -1;
                if (!needIn(2))
                    return -1;
                const size_t back = 1 + ((ip[0] | static_cast<size_t>(ip[1]) << 8) >> 2);
                ip += 2;
                if (!match(back, t + 2))
                    return -1;
            } else if (t >= 16) {  // from 16385 to 49151 back, or the end of the stream
                size_t back = (t & 8) << 11;
                t &= 7;
                if (t == 0 && !LongLength(ip, ipEnd, t, 7))
                    return -1;
                if (!needIn(2))
                    return -1;
                back += (ip[0] | static_cast<size_t>(ip[1]) << 8) >> 2;
                ip += 2;
                if (back == 0)  // the end: the stream must end here too
                    return ip == ipEnd ? static_cast<int64_t>(op - out) : -1;
                back += 0x4000;
                if (!match(back, t + 2))
                    return -1;
            } else {  // two bytes from up to 1024 back
                if (!needIn(1))
                    return -1;
                const size_t back = 1 + (t >> 2) + (static_cast<size_t>(*ip++) << 2);
                if (!match(back, 2))
                    return -1;
            }
            break;
        case Next::MatchNext:
            break;
        }
        if (next != Next::MatchNext) {
            // The instruction's last two bits: 1 to 3 literals before the next match, or none.
            t = ip[-2] & 3;
            if (t == 0) {
                next = Next::Instruction;
                continue;
            }
        }
        if (!literals(t) || !needIn(1))
            return -1;
        t = *ip++;
        next = Next::Match;
    }
}
