// riff_test_files.h: builds RIFF/WAVE files byte by byte for the WAV reader's and the
// multimedia file services' tests and the fuzz targets' seeds; the tests write them into a
// scratch folder (scratch_folder.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/scratch_folder.h"

namespace riff {

inline std::string le16(uint16_t v) {
    return {char(v & 0xFF), char(v >> 8)};
}

inline std::string le32(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// A chunk with its header and, for an odd size, its pad byte.
inline std::string chunk(std::string_view id, std::string_view data) {
    std::string out = std::string(id) + le32(uint32_t(data.size())) + std::string(data);
    if (data.size() % 2)
        out += '\0';
    return out;
}

// A chunk whose header declares a size other than what follows.
inline std::string chunkDeclaring(std::string_view id, uint32_t size, std::string_view data) {
    return std::string(id) + le32(size) + std::string(data);
}

inline std::string riff(std::string_view form, std::string_view body) {
    return "RIFF" + le32(uint32_t(body.size() + 4)) + std::string(form) + std::string(body);
}

// The 16 bytes every format chunk begins with.
inline std::string formatFields(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    uint16_t align = uint16_t(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

inline std::string pcmFormat(uint16_t channels = 1, uint32_t rate = 22050, uint16_t bits = 16) {
    return formatFields(1, channels, rate, bits);
}

// Samples 0, 1, 2, ... as bytes, so a copy shows where it came from.
inline std::string samples(size_t count) {
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i)
        out[i] = char(i * 7 + 1);
    return out;
}

inline std::string wave(std::string_view data, std::string_view format = {}) {
    std::string fmt = format.empty() ? pcmFormat() : std::string(format);
    return riff("WAVE", chunk("fmt ", fmt) + chunk("data", data));
}

} // namespace riff
