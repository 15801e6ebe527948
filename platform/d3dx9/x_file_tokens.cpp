// x_file_tokens.cpp: the header, the MSZIP inflation and the two token forms of a .X file.
// A compressed body is a 32-bit size and then blocks of 1 byte to 32 KiB, each a 16-bit
// inflated size, a 16-bit stored size, "CK" and a deflate stream that may refer back to the
// previous 32 KiB of output. Text tokens end at the next space or punctuation; comments run
// from '#' or "//" to the end of the line (LF or CR). Strings have no escapes.
#include "x_file_tokens.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The whole of first..last as a real, as std::from_chars reads it. Emscripten's C++ library
// has no from_chars for reals: there strtod reads it (the C locale is the only one), once the
// hexadecimal form that strtod alone takes is turned away.
bool readReal(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
#else
    const std::string text(first, last);
    if (text.empty() || text.find_first_of("xX \t\n\r\f\v") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(text.c_str(), &end);
    if (errno == ERANGE || end != text.c_str() + text.size())
        return false;
    value = read;
    return true;
#endif
}

constexpr size_t headerSize = 16;
constexpr size_t historySize = 32768;

uint32_t littleEndian(const char* bytes, size_t size) {
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

// Inflates one block into out, whose last 32 KiB are the history the block may refer to.
bool inflateBlock(std::string_view stored, uint32_t inflatedSize, std::string& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    const size_t history = std::min(out.size(), historySize);
    bool ok = history == 0 || inflateSetDictionary(&stream,
                                                   reinterpret_cast<const Bytef*>(out.data()) +
                                                       out.size() - history,
                                                   static_cast<uInt>(history)) == Z_OK;
    const size_t start = out.size();
    out.resize(start + inflatedSize);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
    stream.avail_in = static_cast<uInt>(stored.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
    stream.avail_out = inflatedSize;
    ok = ok && inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return ok;
}

bool inflateBody(std::string_view in, std::string& out) {
    if (in.size() < 4)
        return false;
    size_t at = 4; // the whole file's inflated size, which the blocks' own sizes make up
    while (at < in.size()) {
        if (in.size() - at < 6)
            return false;
        const uint32_t inflatedSize = littleEndian(in.data() + at, 2);
        const uint32_t storedSize = littleEndian(in.data() + at + 2, 2);
        at += 4;
        if (storedSize < 2 || storedSize > in.size() - at || in.compare(at, 2, "CK") != 0 ||
            inflatedSize == 0 || inflatedSize > historySize)
            return false;
        if (!inflateBlock(in.substr(at + 2, storedSize - 2), inflatedSize, out))
            return false;
        at += storedSize;
    }
    return true;
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+' || c == '.';
}

const char* keywordName(uint16_t id) {
    switch (id) {
    case 31:
        return "template";
    case 40:
        return "WORD";
    case 41:
        return "DWORD";
    case 42:
        return "FLOAT";
    case 43:
        return "DOUBLE";
    case 44:
        return "CHAR";
    case 45:
        return "UCHAR";
    case 46:
        return "SWORD";
    case 47:
        return "SDWORD";
    case 48:
        return "void";
    case 49:
        return "LPSTR";
    case 50:
        return "UNICODE";
    case 51:
        return "CSTRING";
    case 52:
        return "array";
    default:
        return nullptr;
    }
}

XToken token(XTokenKind kind) {
    XToken result;
    result.kind = kind;
    return result;
}

} // namespace

bool XFileBody::read(std::string_view file) {
    bytes.clear();
    if (file.size() < headerSize || file.compare(0, 4, "xof ") != 0)
        return false;
    const std::string_view format = file.substr(8, 4), realBits = file.substr(12, 4);
    if (realBits != "0032" && realBits != "0064")
        return false;
    doubleReals = realBits == "0064";
    const std::string_view rest = file.substr(headerSize);
    if (format == "txt " || format == "bin ") {
        binary = format == "bin ";
        bytes.assign(rest);
        return true;
    }
    if (format == "tzip" || format == "bzip") {
        binary = format == "bzip";
        return inflateBody(rest, bytes);
    }
    return false;
}

const XToken& XTokenizer::peek() {
    if (!peeked) {
        lookahead = binary ? readBinary() : readText();
        peeked = true;
    }
    return lookahead;
}

XToken XTokenizer::next() {
    peek();
    peeked = false;
    return lookahead;
}

XToken XTokenizer::readText() {
    for (;;) {
        if (at >= bytes.size())
            return token(XTokenKind::end);
        const char c = bytes[at];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            ++at;
            continue;
        }
        if (c == '#' || bytes.compare(at, 2, "//") == 0) {
            while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r')
                ++at;
            continue;
        }
        ++at;
        switch (c) {
        case '{':
            return token(XTokenKind::openBrace);
        case '}':
            return token(XTokenKind::closeBrace);
        case '[':
            return token(XTokenKind::openBracket);
        case ']':
            return token(XTokenKind::closeBracket);
        case ';':
        case ',':
            return token(XTokenKind::separator);
        case '<':
        case '"': {
            const size_t close = bytes.find(c == '"' ? '"' : '>', at);
            if (close == std::string_view::npos)
                return token(XTokenKind::malformed);
            XToken result = token(c == '"' ? XTokenKind::string : XTokenKind::guid);
            result.text = bytes.substr(at, close - at);
            at = close + 1;
            return result;
        }
        default:
            break;
        }
        if (!isNameCharacter(c))
            return token(XTokenKind::other);
        const size_t start = at - 1;
        while (at < bytes.size() && isNameCharacter(bytes[at]))
            ++at;
        XToken result;
        result.text = bytes.substr(start, at - start);
        const char* first = result.text.data();
        const char* last = first + result.text.size();
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')) {
            result.kind = XTokenKind::name;
            return result;
        }
        // A number; from_chars takes no '+', which a real's exponent may still carry.
        const char* digits = c == '+' ? first + 1 : first;
        if (auto [end, error] = std::from_chars(digits, last, result.integer);
            error == std::errc() && end == last) {
            result.kind = XTokenKind::integer;
            result.real = static_cast<double>(result.integer);
            return result;
        }
        if (readReal(digits, last, result.real)) {
            result.kind = XTokenKind::real;
            return result;
        }
        // Not a number: a name that begins with a digit ("3DObject"); a sign or a point
        // begins no name ("..." in a template's restrictions).
        result.kind = c >= '0' && c <= '9' ? XTokenKind::name : XTokenKind::other;
        return result;
    }
}

XToken XTokenizer::readListEntry() {
    const size_t size = listOfReals ? realSize : 4;
    --listLeft;
    XToken result = token(listOfReals ? XTokenKind::real : XTokenKind::integer);
    if (!listOfReals) {
        result.integer = littleEndian(bytes.data() + at, 4);
        result.real = static_cast<double>(result.integer);
    } else if (size == 4) {
        float value;
        std::memcpy(&value, bytes.data() + at, 4);
        result.real = value;
    } else {
        std::memcpy(&result.real, bytes.data() + at, 8);
    }
    at += size;
    return result;
}

XToken XTokenizer::readBinary() {
    while (listLeft == 0 && bytes.size() - at >= 6 &&
           (littleEndian(bytes.data() + at, 2) == 6 || littleEndian(bytes.data() + at, 2) == 7) &&
           littleEndian(bytes.data() + at + 2, 4) == 0)
        at += 6; // empty lists
    if (listLeft > 0)
        return readListEntry();
    if (at >= bytes.size())
        return token(XTokenKind::end);
    if (bytes.size() - at < 2)
        return token(XTokenKind::malformed);
    const uint16_t id = static_cast<uint16_t>(littleEndian(bytes.data() + at, 2));
    at += 2;
    const size_t left = bytes.size() - at;
    switch (id) {
    case 1:   // name: a 32-bit length and the characters
    case 2: { // string: the same, and a separator token
        if (left < 4 || littleEndian(bytes.data() + at, 4) > left - 4)
            return token(XTokenKind::malformed);
        const uint32_t length = littleEndian(bytes.data() + at, 4);
        XToken result = token(id == 1 ? XTokenKind::name : XTokenKind::string);
        result.text = bytes.substr(at + 4, length);
        at += 4 + length;
        if (id == 2 && bytes.size() - at >= 2) {
            const uint32_t terminator = littleEndian(bytes.data() + at, 2);
            if (terminator == 19 || terminator == 20)
                at += 2;
        }
        return result;
    }
    case 3: { // integer
        if (left < 4)
            return token(XTokenKind::malformed);
        XToken result = token(XTokenKind::integer);
        result.integer = littleEndian(bytes.data() + at, 4);
        result.real = static_cast<double>(result.integer);
        at += 4;
        return result;
    }
    case 5: { // GUID: 16 bytes
        if (left < 16)
            return token(XTokenKind::malformed);
        XToken result = token(XTokenKind::guid);
        result.text = bytes.substr(at, 16);
        at += 16;
        return result;
    }
    case 6:   // integer list
    case 7: { // real list: a 32-bit count and the entries
        if (left < 4)
            return token(XTokenKind::malformed);
        const uint32_t count = littleEndian(bytes.data() + at, 4);
        listOfReals = id == 7;
        if (uint64_t(count) * (listOfReals ? realSize : 4) > left - 4)
            return token(XTokenKind::malformed);
        at += 4;
        listLeft = count;
        return count > 0 ? readListEntry() : readBinary(); // an empty list was skipped above
    }
    case 10:
        return token(XTokenKind::openBrace);
    case 11:
        return token(XTokenKind::closeBrace);
    case 14:
        return token(XTokenKind::openBracket);
    case 15:
        return token(XTokenKind::closeBracket);
    case 19:
    case 20:
        return token(XTokenKind::separator);
    default:
        break;
    }
    if (const char* keyword = keywordName(id)) {
        XToken result = token(XTokenKind::name);
        result.text = keyword;
        return result;
    }
    return token(id >= 12 && id <= 18 ? XTokenKind::other : XTokenKind::malformed);
}
