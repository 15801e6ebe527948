// dinput_keymap.h: SDL scancodes (USB usages) to DirectInput key codes (PC set 1).
// Depends on: SDL2.
#pragma once

#include <SDL.h>

// The DirectInput key code of an SDL scancode, or 0 for keys without one.
unsigned char dikOfScancode(SDL_Scancode scancode);
