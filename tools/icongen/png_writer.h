// png_writer.h: writes an RGBA picture as a PNG file (8 bits per channel, no interlacing), for the
// icon theme of the Linux desktop.
#pragma once

#include "ico_writer.h"

#include <cstdint>
#include <string>
#include <vector>

// The PNG file of a size × size picture, row 0 at the top.
std::vector<uint8_t> encodePng(int size, const std::vector<Rgba>& pixels);
bool writePng(const std::string& path, int size, const std::vector<Rgba>& pixels);
