// x_file_encodings.h: writes a .X file given in text form in the format's other encodings, so
// that one test file is read in each: binary (32- or 64-bit reals) and compressed (MSZIP
// blocks of the text or the binary body). Used by d3dx9_mesh_file_test.cpp and the .X fuzz
// target. The text must write reals with a point or an exponent and whole numbers without.
// Compression needs no library: the first block is stored; every later one begins, where it
// can, with a match into the block before (a fixed-Huffman deflate block), so that a reader
// must keep the history across blocks, and stores the rest.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace xfile {

enum class Encoding { text, binary, binary64, compressedText, compressedBinary };

inline const char* nameOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::text:
        return "Text";
    case Encoding::binary:
        return "Binary";
    case Encoding::binary64:
        return "Binary64";
    case Encoding::compressedText:
        return "CompressedText";
    default:
        return "CompressedBinary";
    }
}

class BinaryWriter {
public:
    std::string bytes;
    bool doubleReals = false;

    void word(uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); }
    void dword(uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); }
    void counted(uint16_t token, const std::string& text) {
        word(token);
        dword(static_cast<uint32_t>(text.size()));
        bytes += text;
    }
    void flush() {
        if (!integers.empty()) {
            word(6);
            dword(static_cast<uint32_t>(integers.size()));
            for (uint32_t value : integers)
                dword(value);
        }
        if (!reals.empty()) {
            word(7);
            dword(static_cast<uint32_t>(reals.size()));
            for (double value : reals) {
                if (doubleReals) {
                    bytes.append(reinterpret_cast<const char*>(&value), 8);
                } else {
                    const float single = static_cast<float>(value);
                    bytes.append(reinterpret_cast<const char*>(&single), 4);
                }
            }
        }
        integers.clear();
        reals.clear();
    }
    void integer(uint32_t value) {
        if (!reals.empty())
            flush();
        integers.push_back(value);
    }
    void real(double value) {
        if (!integers.empty())
            flush();
        reals.push_back(value);
    }

private:
    std::vector<uint32_t> integers;
    std::vector<double> reals;
};

inline uint16_t keywordToken(const std::string& name) {
    static const char* const keywords[] = {"WORD",    "DWORD",   "FLOAT",  "DOUBLE", "CHAR",
                                           "UCHAR",   "SWORD",   "SDWORD", "void",   "STRING",
                                           "UNICODE", "CSTRING", "array"};
    for (uint16_t i = 0; i < 13; ++i)
        if (name == keywords[i])
            return static_cast<uint16_t>(40 + i);
    return 0;
}

// The binary form of a text file: names, strings, GUIDs and braces as tokens, the numbers of
// data as integer and real lists; in templates, keywords, dimensions and separators as tokens.
inline std::string toBinary(const std::string& text, bool doubleReals) {
    BinaryWriter out;
    out.doubleReals = doubleReals;
    out.bytes = text.substr(0, 8) + "bin " + (doubleReals ? "0064" : "0032");
    int templateDepth = 0; // inside a template declaration: braces open there
    bool templateNext = false;
    size_t at = 16;
    auto isWordCharacter = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
               c == '+';
    };
    while (at < text.size()) {
        const char c = text[at];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++at;
        } else if (c == '#' || text.compare(at, 2, "//") == 0) {
            while (at < text.size() && text[at] != '\n' && text[at] != '\r')
                ++at;
        } else if (c == ';' || c == ',') {
            if (templateDepth > 0) {
                out.flush();
                out.word(c == ';' ? 20 : 19);
            }
            ++at;
        } else if (c == '{' || c == '}' || c == '[' || c == ']') {
            out.flush();
            out.word(c == '{' ? 10 : c == '}' ? 11 : c == '[' ? 14 : 15);
            if (c == '{' && (templateNext || templateDepth > 0)) {
                ++templateDepth;
                templateNext = false;
            } else if (c == '}' && templateDepth > 0) {
                --templateDepth;
            }
            ++at;
        } else if (c == '"') {
            out.flush();
            const size_t close = text.find('"', at + 1);
            out.counted(2, text.substr(at + 1, close - at - 1));
            out.word(20);
            at = close + 1;
        } else if (c == '<') {
            out.flush();
            const size_t close = text.find('>', at);
            std::string hex;
            for (size_t i = at + 1; i < close; ++i)
                if (text[i] != '-')
                    hex += text[i];
            out.word(5);
            auto part = [&](size_t from, size_t digits) {
                return static_cast<uint32_t>(std::stoul(hex.substr(from, digits), nullptr, 16));
            };
            out.dword(part(0, 8));
            out.word(static_cast<uint16_t>(part(8, 4)));
            out.word(static_cast<uint16_t>(part(12, 4)));
            for (size_t i = 0; i < 8; ++i)
                out.bytes += static_cast<char>(part(16 + i * 2, 2));
            at = close + 1;
        } else {
            const size_t start = at;
            while (at < text.size() && isWordCharacter(text[at]))
                ++at;
            if (at == start)
                ++at; // a character of no token: left out
            const std::string word = text.substr(start, at - start);
            const bool number = std::isdigit(static_cast<unsigned char>(word[0])) ||
                                word[0] == '-' || word[0] == '+' || word[0] == '.';
            if (word == "...") {
                for (int dot = 0; dot < 3; ++dot)
                    out.word(18);
            } else if (number && word.find_first_of(".eE") == std::string::npos &&
                       word.find_first_not_of("+-0123456789") == std::string::npos) {
                const long long value = std::stoll(word);
                if (templateDepth > 0) {
                    out.word(3);
                    out.dword(static_cast<uint32_t>(value));
                } else {
                    out.integer(static_cast<uint32_t>(value));
                }
            } else if (number) {
                out.real(std::stod(word));
            } else {
                out.flush();
                if (word == "template") {
                    out.word(31);
                    templateNext = true;
                } else if (templateDepth > 0 && keywordToken(word) != 0) {
                    out.word(keywordToken(word));
                } else {
                    out.counted(1, word);
                }
            }
        }
    }
    out.flush();
    return out.bytes;
}

// Bits of a deflate stream, first bit lowest.
class BitWriter {
public:
    std::string bytes;

    void bits(uint32_t value, int count) { // value's low bits, lowest first
        for (int i = 0; i < count; ++i)
            bit((value >> i) & 1);
    }
    void code(uint32_t value, int count) { // a Huffman code, highest bit first
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1);
    }
    void align() { used = 8; }

private:
    void bit(uint32_t value) {
        if (used == 8) {
            bytes += '\0';
            used = 0;
        }
        bytes.back() = static_cast<char>(bytes.back() | (value << used));
        ++used;
    }
    int used = 8;
};

// One MSZIP block's deflate data: a match of the block's first bytes into history, if any
// of 3 to 10 bytes is found there, then the rest stored.
inline std::string deflateBlock(const std::string& history, const std::string& data) {
    BitWriter out;
    size_t matched = 0;
    for (size_t length = std::min<size_t>(10, data.size()); length >= 3 && matched == 0; --length) {
        const size_t found = history.rfind(data.substr(0, length));
        if (found == std::string::npos || history.size() - found > 32768)
            continue;
        static const uint32_t base[] = {1,    2,    3,    4,     5,     7,     9,    13,
                                        17,   25,   33,   49,    65,    97,    129,  193,
                                        257,  385,  513,  769,   1025,  1537,  2049, 3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769};
        const uint32_t distance = static_cast<uint32_t>(history.size() - found);
        uint32_t codeIndex = 0;
        while (base[codeIndex + 1] <= distance)
            ++codeIndex;
        out.bits(0, 1);                                     // not the last deflate block
        out.bits(1, 2);                                     // fixed Huffman codes
        out.code(static_cast<uint32_t>(length - 3 + 1), 7); // lengths 3 to 10: codes 257 to 264
        out.code(codeIndex, 5);
        const int extra = codeIndex < 4 ? 0 : static_cast<int>(codeIndex / 2 - 1);
        out.bits(distance - base[codeIndex], extra);
        out.code(0, 7); // end of block
        matched = length;
    }
    const std::string rest = data.substr(matched);
    out.bits(1, 1); // the last deflate block
    out.bits(0, 2); // stored
    out.align();
    const uint16_t size = static_cast<uint16_t>(rest.size()),
                   inverse = static_cast<uint16_t>(~size);
    std::string stored = out.bytes;
    stored.append(reinterpret_cast<const char*>(&size), 2);
    stored.append(reinterpret_cast<const char*>(&inverse), 2);
    return stored + rest;
}

// The compressed form of a text or binary file, in blocks of blockSize inflated bytes.
inline std::string compress(const std::string& file, size_t blockSize = 32768) {
    std::string out = file.substr(0, 8) + (file.compare(8, 4, "bin ") == 0 ? "bzip" : "tzip") +
                      file.substr(12, 4);
    const std::string body = file.substr(16);
    const uint32_t total = static_cast<uint32_t>(file.size());
    out.append(reinterpret_cast<const char*>(&total), 4);
    for (size_t at = 0; at < body.size(); at += blockSize) {
        const std::string data = body.substr(at, blockSize);
        const std::string history =
            body.substr(at > 32768 ? at - 32768 : 0, at > 32768 ? 32768 : at);
        const std::string stored = "CK" + deflateBlock(history, data);
        const uint16_t inflated = static_cast<uint16_t>(data.size());
        const uint16_t size = static_cast<uint16_t>(stored.size());
        out.append(reinterpret_cast<const char*>(&inflated), 2);
        out.append(reinterpret_cast<const char*>(&size), 2);
        out += stored;
    }
    return out;
}

inline std::string encode(const std::string& text, Encoding encoding, size_t blockSize = 32768) {
    switch (encoding) {
    case Encoding::text:
        return text;
    case Encoding::binary:
        return toBinary(text, false);
    case Encoding::binary64:
        return toBinary(text, true);
    case Encoding::compressedText:
        return compress(text, blockSize);
    default:
        return compress(toBinary(text, false), blockSize);
    }
}

} // namespace xfile
