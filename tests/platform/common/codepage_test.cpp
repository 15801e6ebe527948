// codepage_test.cpp: the layer's Windows-1251 to UTF-8 conversion, byte by byte against the C
// library's own converter (iconv), which shares no table with it.
#include "platform/common/codepage.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <vector>

namespace {

const std::string replacement = "\xEF\xBF\xBD"; // U+FFFD

// iconv's UTF-8 for one byte of Windows-1251; empty where the code page has no character.
std::string iconvUtf8(iconv_t converter, unsigned char byte) {
    char in[1] = {char(byte)};
    char out[8] = {};
    char* from = in;
    char* to = out;
    size_t inLeft = 1, outLeft = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &from, &inLeft, &to, &outLeft) == size_t(-1))
        return "";
    return std::string(out, sizeof out - outLeft);
}

} // namespace

TEST(Codepage, EveryByteBecomesTheCharacterTheCLibraryGives) {
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(converter, iconv_t(-1)) << "the C library has no Windows-1251 converter";
    std::vector<int> unassigned;
    for (int byte = 1; byte < 256; ++byte) {
        std::string expected = iconvUtf8(converter, static_cast<unsigned char>(byte));
        if (expected.empty()) {
            unassigned.push_back(byte);
            expected = replacement;
        }
        const char text[2] = {char(byte), 0};
        EXPECT_EQ(utf8FromCp1251(text), expected) << "byte 0x" << std::hex << byte;
    }
    iconv_close(converter);
    // The one unassigned byte of the code page, so the comparison above had its reference.
    EXPECT_EQ(unassigned, std::vector<int>{0x98});
}

TEST(Codepage, TextIsConvertedWholeAndNullGivesNothing) {
    EXPECT_EQ(utf8FromCp1251(nullptr), "");
    EXPECT_EQ(utf8FromCp1251(""), "");
    // One-, two- and three-byte forms in a row, from both halves of the code page and the table.
    EXPECT_EQ(utf8FromCp1251("a\xC0\x85\xFF\x98z"),
              "a\xD0\x90\xE2\x80\xA6\xD1\x8F" + replacement + "z");
}
