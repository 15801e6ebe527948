// codepage.h: conversion of Windows-1251 (Cyrillic ANSI) text to UTF-8 for SDL and the
// terminal. Depends on nothing.
#pragma once

#include <string>

// The UTF-8 form of a NUL-terminated Windows-1251 string; null gives an empty string.
std::string utf8FromCp1251(const char* text);
