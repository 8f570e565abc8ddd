// The triangles of a WaveFront OBJ text, for the model geometry import. The
// file comes from elsewhere: every line is read within the buffer, every
// number checked, every index resolved against what the file has defined.
#include "import/import_local.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The next blank-separated word of `line`, taken off it.
std::string_view NextWord(std::string_view &line)
{
    line = Trim(line);
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    const std::string_view word = line.substr(0, end);
    line.remove_prefix(end);
    return word;
}

// A number as a float; one too large for a float becomes an infinity, which
// the import then refuses as a value the model cannot hold.
bool ParseFloat(std::string_view word, float &out)
{
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    double value = 0;
    const auto [end, failed] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || end != word.data() + word.size())
        return false;
    if (failed == std::errc::result_out_of_range)
        value = std::strtod(std::string(word).c_str(), nullptr);  // an infinity, or 0 when it is that small
    else if (failed != std::errc())
        return false;
    out = static_cast<float>(value);
    return true;
}

// A 1-based index into a pool of `count`, or one counted back from its end
// (-1 the last); -1 when the file has not defined it.
int32_t Resolve(std::string_view word, size_t count)
{
    int64_t n = 0;
    const auto [end, failed] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (word.empty() || failed != std::errc() || end != word.data() + word.size() || n == 0)
        return -1;
    const int64_t index = n > 0 ? n - 1 : static_cast<int64_t>(count) + n;
    return index >= 0 && index < static_cast<int64_t>(count) ? static_cast<int32_t>(index) : -1;
}

template <size_t N>
bool ReadValues(std::string_view rest, size_t needed, std::vector<std::array<float, N>> &pool)
{
    std::array<float, N> v{};
    for (size_t i = 0; i < N; ++i) {
        const std::string_view word = NextWord(rest);
        if (word.empty() && i >= needed)
            break;
        if (!ParseFloat(word, v[i]))
            return false;
    }
    // A pool is indexed by int32_t.
    if (pool.size() >= static_cast<size_t>(INT32_MAX))
        return false;
    pool.push_back(v);
    return true;
}

}  // namespace

bool Import_ReadObj(std::span<const uint8_t> file, int64_t cornerLimit, MeshFile &out, std::string &error)
{
    out = MeshFile{};
    const std::string_view text(reinterpret_cast<const char *>(file.data()), file.size());
    std::string group, material;
    bool newPart = true;
    int64_t kept = 0;
    size_t lineNumber = 0;
    auto fail = [&](const std::string &why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::string_view keyword = NextWord(line);
        if (keyword == "v") {
            if (!ReadValues(line, 3, out.positions))
                return fail("a vertex position needs three numbers.");
        } else if (keyword == "vn") {
            if (!ReadValues(line, 3, out.normals))
                return fail("a normal needs three numbers.");
        } else if (keyword == "vt") {
            if (!ReadValues(line, 1, out.uvs))
                return fail("texture coordinates need one or two numbers.");
        } else if (keyword == "g" || keyword == "o" || keyword == "usemtl") {
            std::string &name = keyword == "usemtl" ? material : group;
            const std::string value(Trim(line));
            // An object starts without the groups of the one before.
            if (name != value || keyword == "o")
                newPart = true;
            name = value;
        } else if (keyword == "f") {
            MeshCorner corners[3];
            int count = 0;
            for (std::string_view word = NextWord(line); !word.empty(); word = NextWord(line), ++count) {
                if (count >= 3)
                    continue;
                const size_t slash = word.find('/');
                const std::string_view v = word.substr(0, slash);
                std::string_view vt, vn;
                if (slash != std::string_view::npos) {
                    const std::string_view rest = word.substr(slash + 1);
                    const size_t second = rest.find('/');
                    vt = rest.substr(0, second);
                    if (second != std::string_view::npos)
                        vn = rest.substr(second + 1);
                }
                MeshCorner &c = corners[count];
                c.position = Resolve(v, out.positions.size());
                c.uv = vt.empty() ? -1 : Resolve(vt, out.uvs.size());
                c.normal = vn.empty() ? -1 : Resolve(vn, out.normals.size());
                if (c.position < 0 || (!vt.empty() && c.uv < 0) || (!vn.empty() && c.normal < 0))
                    return fail("the face names a vertex, texture coordinate or normal the file has not defined (" +
                                std::string(word) + ").");
            }
            if (count != 3)
                return fail("a face of " + std::to_string(count) +
                            " corners; the model's surfaces are triangles: export triangulated faces.");
            if (newPart) {
                out.parts.push_back({group, material, 0, {}});
                newPart = false;
            }
            MeshPart &part = out.parts.back();
            ++part.triangles;
            if (kept + 3 <= cornerLimit) {
                part.corners.insert(part.corners.end(), corners, corners + 3);
                kept += 3;
            } else {
                out.cut = true;
            }
        }
    }
    return true;
}
