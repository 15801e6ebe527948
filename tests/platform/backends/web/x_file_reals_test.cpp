// x_file_reals_test.cpp: the .X reader's text numbers in the web build, where reals are read
// without std::from_chars: the forms that are numbers, and those that are not (hexadecimal,
// out of range, trailing letters) which must stay names or be refused as std::from_chars does.
#include "x_file_tokens.h"

#include <gtest/gtest.h>

#include <string>

namespace {

XToken firstToken(const std::string& text) {
    static XFileBody body;
    body = {};
    EXPECT_TRUE(body.read("xof 0303txt 0032" + text));
    static XTokenizer* tokenizer = nullptr;
    delete tokenizer;
    tokenizer = new XTokenizer(body);
    return tokenizer->next();
}

} // namespace

TEST(XFileReals, DecimalAndExponentForms) {
    XToken token = firstToken(" 1.5;");
    EXPECT_EQ(token.kind, XTokenKind::real);
    EXPECT_DOUBLE_EQ(token.real, 1.5);
    token = firstToken(" -2.5e3;");
    EXPECT_EQ(token.kind, XTokenKind::real);
    EXPECT_DOUBLE_EQ(token.real, -2500.0);
    token = firstToken(" .25;");
    EXPECT_EQ(token.kind, XTokenKind::real);
    EXPECT_DOUBLE_EQ(token.real, 0.25);
    token = firstToken(" 1e+2;");
    EXPECT_EQ(token.kind, XTokenKind::real);
    EXPECT_DOUBLE_EQ(token.real, 100.0);
    token = firstToken(" 0.1;");
    EXPECT_DOUBLE_EQ(token.real, 0.1);
}

TEST(XFileReals, WholeNumbersStayIntegers) {
    XToken token = firstToken(" 42;");
    EXPECT_EQ(token.kind, XTokenKind::integer);
    EXPECT_EQ(token.integer, 42);
}

TEST(XFileReals, NotNumbers) {
    // Hexadecimal is no number of the format: a name beginning with a digit.
    EXPECT_EQ(firstToken(" 0x10;").kind, XTokenKind::name);
    EXPECT_EQ(firstToken(" 1.5abc;").kind, XTokenKind::name);
    EXPECT_EQ(firstToken(" 3DObject;").kind, XTokenKind::name);
    // Beyond a double's range.
    EXPECT_NE(firstToken(" 1e999;").kind, XTokenKind::real);
    EXPECT_NE(firstToken(" -.;").kind, XTokenKind::real);
}
