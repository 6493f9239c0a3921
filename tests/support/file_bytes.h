#pragma once
// Whole-file reads for tests that compare bytes; empty when the file cannot be opened.
#include <stdio.h>

#include <string>
#include <vector>

inline std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return bytes;
}
