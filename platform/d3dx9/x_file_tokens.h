// x_file_tokens.h: internal to the layer's .X reader. Checks the 16-byte header of a .X file,
// inflates a compressed file's MSZIP blocks, and reads the text or binary body as one stream
// of tokens: names (keywords included), strings, whole and real numbers (the entries of a
// binary list one by one), GUIDs, braces, brackets and separators. Used by x_file_objects.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class XTokenKind {
    end,
    malformed,
    name,
    string,
    integer,
    real,
    guid,
    openBrace,
    closeBrace,
    openBracket,
    closeBracket,
    separator, // ';' or ','
    other      // '(', ')', '.', and the like: never part of valid data
};

struct XToken {
    XTokenKind kind = XTokenKind::end;
    std::string_view text; // a name or a string
    int64_t integer = 0;   // a whole number, with its sign
    double real = 0.0;     // a real number, or a whole number's value
};

// The body of a .X file after its header, inflated if compressed. False when the header is not
// that of a .X file (text, binary or compressed, 32- or 64-bit reals) or a block cannot be
// inflated.
struct XFileBody {
    std::string bytes;
    bool binary = false;
    bool doubleReals = false;

    bool read(std::string_view file);
};

class XTokenizer {
public:
    explicit XTokenizer(const XFileBody& body)
        : bytes(body.bytes), binary(body.binary), realSize(body.doubleReals ? 8 : 4) {}

    XToken next();
    const XToken& peek();
    // Bytes not yet read: every value still to come takes at least one of them.
    size_t remaining() const { return bytes.size() - at; }

private:
    XToken readText();
    XToken readBinary();
    XToken readListEntry();

    std::string_view bytes;
    bool binary;
    size_t realSize;
    size_t at = 0;
    uint32_t listLeft = 0; // entries of a binary integer or real list not yet handed out
    bool listOfReals = false;
    bool peeked = false;
    XToken lookahead;
};
