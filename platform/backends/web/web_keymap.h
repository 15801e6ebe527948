// web_keymap.h: the browser's physical key names (KeyboardEvent.code, such as "KeyA" or
// "ArrowUp") as the scan codes of the window system contract (window_system.h). The table is in
// web_keymap.cpp.
#pragma once

// The scan code of a key, or 0 for a key the table does not know (or a null name).
unsigned char dikOfKeyCode(const char* code);
