// file_path.h: internal to the layer. Turns a Windows-style path ("meshes\\Car.X") into a
// path this system can open: backslashes separate folders, and where the exact name does not
// exist each part is matched to an existing entry without regard to letter case.
#pragma once

#include <string>

// The path to open for a Windows path. Relative paths stay relative to the working directory.
// A part that matches nothing is kept as given, so opening the result fails as it should.
std::string resolveWindowsPath(const char* path);
