// font_files.h: where the font backend on stb_truetype (stb_truetype_rasterizer.cpp) looks for
// its faces. A Windows family name maps to the Liberation family that is metric-compatible with
// it, and a weight and slant to one of its four files, e.g. Arial bold to
// LiberationSans-Bold.ttf. The folders are searched in order: `fonts` in the working folder
// first (the web build preloads its font files there, at /fonts in its file system), then
// Debian's folder of the fonts-liberation package.
#pragma once

namespace font_files {

inline constexpr const char* folders[] = {"fonts", "/usr/share/fonts/truetype/liberation"};

struct Family {
    const char* windowsName;
    const char* fileStem; // the file is <stem>-<style>.ttf
};

// A family not listed here is shown in Liberation Sans, as a sans-serif default.
inline constexpr Family families[] = {{"Arial", "LiberationSans"},
                                      {"Helvetica", "LiberationSans"},
                                      {"Times New Roman", "LiberationSerif"},
                                      {"Courier New", "LiberationMono"}};

// The four styles' file name endings.
inline constexpr const char* regular = "Regular";
inline constexpr const char* bold = "Bold";
inline constexpr const char* italic = "Italic";
inline constexpr const char* boldItalic = "BoldItalic";

} // namespace font_files
