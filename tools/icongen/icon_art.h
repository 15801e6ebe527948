// icon_art.h: the program's two icon pictures, drawn from simple shapes at any size.
#pragma once

#include "ico_writer.h"

#include <vector>

// A locomotive seen from the front, standing on its rails.
std::vector<Rgba> drawLocomotiveFront(int size);
// A spoked wheel on a rail.
std::vector<Rgba> drawWheelOnRail(int size);
