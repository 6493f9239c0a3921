#pragma once
// Paths of build-tree files as the Windows test sees them (through drive Z:).
#include <stdlib.h>
#include <string>

inline std::string BuildTreePath(const char* relative) {
    const char* build = getenv("TIVRA_BUILD_DIR");
    std::string path = std::string("Z:") + (build ? build : "") + "/" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
