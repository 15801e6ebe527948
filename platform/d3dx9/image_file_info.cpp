// image_file_info.cpp: the format, declared sides and alpha of an image file from its header.
// A PNG file is walked chunk by chunk to its end chunk: one declaring more bytes than the file
// holds makes it unreadable, as a decoder would otherwise go on reading it.
#include "image_file_info.h"

#include <algorithm>
#include <cstdlib>

namespace {

uint32_t littleEndian(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + i];
    return value;
}

uint32_t bigEndian(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | bytes[at + i];
    return value;
}

bool hasTag(const std::vector<uint8_t>& bytes, size_t at, const char* tag) {
    for (size_t i = 0; tag[i] != '\0'; ++i)
        if (at + i >= bytes.size() || bytes[at + i] != uint8_t(tag[i]))
            return false;
    return true;
}

void readBmp(const std::vector<uint8_t>& bytes, ImageFileInfo& info) {
    const uint32_t headerSize = littleEndian(bytes, 14, 4);
    if (headerSize == 12) { // the old header, of 16-bit unsigned sides and no alpha
        info.width = littleEndian(bytes, 18, 2);
        info.height = littleEndian(bytes, 20, 2);
    } else { // sides are signed: a negative height means rows top first
        info.width = uint64_t(std::abs(int64_t(int32_t(littleEndian(bytes, 18, 4)))));
        info.height = uint64_t(std::abs(int64_t(int32_t(littleEndian(bytes, 22, 4)))));
        const uint32_t bits = bytes.size() >= 30 ? littleEndian(bytes, 28, 2) : 0;
        const uint32_t compression = bytes.size() >= 34 ? littleEndian(bytes, 30, 4) : 0;
        // An alpha mask, at byte 66 in both places it can be: in a version 3 to 5 header with
        // bit fields, or after the plain header with alpha bit fields (compression 6).
        const bool maskPresent =
            (compression == 3 && headerSize >= 56) || (compression == 6 && headerSize >= 40);
        if (bytes.size() >= 70 && maskPresent)
            info.hasAlpha = (bits == 16 || bits == 32) && littleEndian(bytes, 66, 4) != 0;
        // 32-bit pixels without bit fields leave their fourth byte unused, but D3DX takes it as
        // alpha when any pixel's is not 0.
        if (bits == 32 && compression == 0) {
            const uint64_t start = littleEndian(bytes, 10, 4);
            const uint64_t end =
                start + std::min<uint64_t>(info.width * info.height, bytes.size()) * 4;
            for (uint64_t at = start + 3; at < end && at < bytes.size() && !info.hasAlpha; at += 4)
                info.hasAlpha = bytes[size_t(at)] != 0;
        }
    }
    info.readable = true;
}

void readPng(const std::vector<uint8_t>& bytes, ImageFileInfo& info) {
    info.width = bigEndian(bytes, 16, 4);
    info.height = bigEndian(bytes, 20, 4);
    const uint8_t colourType = bytes[25];
    info.hasAlpha = colourType == 4 || colourType == 6; // grey or colour with alpha
    for (uint64_t at = 8; at + 12 <= bytes.size();) {
        const uint64_t end = at + 12 + bigEndian(bytes, size_t(at), 4);
        if (end > bytes.size())
            return;
        if (hasTag(bytes, size_t(at) + 4, "IEND")) {
            info.readable = true;
            return;
        }
        if (hasTag(bytes, size_t(at) + 4, "tRNS")) // transparent colours or palette entries
            info.hasAlpha = true;
        at = end;
    }
}

// The sides are in the first start-of-frame segment (markers C0 to CF but for C4, C8 and CC);
// every segment before it gives its length. JPEG has no alpha.
void readJpeg(const std::vector<uint8_t>& bytes, ImageFileInfo& info) {
    for (size_t at = 2; at + 9 <= bytes.size() && bytes[at] == 0xFF;) {
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC) {
            info.height = bigEndian(bytes, at + 5, 2);
            info.width = bigEndian(bytes, at + 7, 2);
            info.readable = true;
            return;
        } else {
            at += 2 + bigEndian(bytes, at + 2, 2);
        }
    }
}

// Alpha: attribute bits in the descriptor, 32-bit pixels or 32-bit colour-map entries.
void readTga(const std::vector<uint8_t>& bytes, ImageFileInfo& info) {
    info.width = littleEndian(bytes, 12, 2);
    info.height = littleEndian(bytes, 14, 2);
    const bool colourMapped = bytes[2] == 1 || bytes[2] == 9;
    info.hasAlpha = (bytes[17] & 0x0F) != 0 || bytes[16] == 32 || (colourMapped && bytes[7] == 32);
    info.readable = true;
}

} // namespace

ImageFileInfo readImageFileInfo(const std::vector<uint8_t>& bytes, bool namedTga) {
    ImageFileInfo info;
    if (bytes.size() >= 26 && hasTag(bytes, 0, "BM")) {
        info.format = ImageFileFormat::bmp;
        readBmp(bytes, info);
    } else if (bytes.size() >= 26 && hasTag(bytes, 0, "\x89PNG\r\n\x1a\n")) {
        info.format = ImageFileFormat::png;
        readPng(bytes, info);
    } else if (bytes.size() >= 4 && hasTag(bytes, 0, "\xff\xd8")) {
        info.format = ImageFileFormat::jpeg;
        readJpeg(bytes, info);
    } else if (bytes.size() >= 18 && namedTga) {
        info.format = ImageFileFormat::tga;
        readTga(bytes, info);
    }
    return info;
}
