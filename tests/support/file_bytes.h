// file_bytes.h: reading a whole file as bytes and little-endian numbers out of them, for the
// tests that check files written by the generators.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The unsigned number of `bytes` bytes (1 to 4) at `at`, least significant first.
inline uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | b.at(at + i);
    return value;
}
