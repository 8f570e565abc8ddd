// The programs that read back the export forms; each is probed first, and skipped if absent.
#pragma once

#include "host.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

// Single quotes for a shell word.
inline std::string Quoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The command's standard output; `*status` gets its exit status.
inline std::string Output(const std::string &command, int *status = nullptr)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status)
            *status = -1;
        return out;
    }
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status)
        *status = rc;
    return out;
}

inline const char *kPillow = "/usr/bin/python3 -c 'import PIL'";
inline const char *kImageMagick = "test -x /usr/bin/convert";
inline const char *kAssimp = "command -v assimp";

// Vertices and faces as `assimp info` counts them; `raw`: without its
// processing, which joins equal vertices and merges meshes of one material.
inline std::string AssimpCounts(const std::string &path, bool raw = false)
{
    int status;
    const std::string out = Output("assimp info " + Quoted(path) + (raw ? " -r" : "") + " 2>&1", &status);
    long vertices = -1, faces = -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        sscanf(line.c_str(), "Vertices: %ld", &vertices);
        sscanf(line.c_str(), "Faces: %ld", &faces);
    }
    return status == 0 ? std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces" : out;
}

// The Khronos glTF validator that scripts/setup installs, and what it reports on a
// .glb or .gltf file that has errors ("" when it has none).
inline const std::string kGltfValidator = QUILLON_SOURCE_DIR "/.cache/npm/node_modules/gltf-validator";
inline const std::string kGltfValidatorProbe = "node -e 'require(\"" + kGltfValidator + "\")'";
inline std::string GltfValidatorErrors(const std::string &path)
{
    const std::string report = Output("node " + Quoted(QUILLON_SOURCE_DIR "/tests/convert/gltf_validate.js") + " " +
                                      Quoted(kGltfValidator) + " " + Quoted(path) + " 2>&1");
    return report.find("\"numErrors\":0,") == std::string::npos ? "validator: " + report : "";
}
