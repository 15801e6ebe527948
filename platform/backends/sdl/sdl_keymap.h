// sdl_keymap.h: SDL scancodes (USB usages) to the PC keyboard's scan codes (set 1), which
// are DirectInput's key codes.
#pragma once

#include <SDL.h>

// The DirectInput key code of an SDL scancode, or 0 for keys without one.
unsigned char dikOfScancode(SDL_Scancode scancode);
