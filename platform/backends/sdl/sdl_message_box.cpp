// sdl_message_box.cpp: the window system's message box (window_system.h) on SDL's message box,
// with one OK button that Enter and Escape both press.
#include "window_system.h"

#include <SDL.h>

namespace windowsystem {

bool showMessageBox(NativeWindow owner, const char* title, const char* text, MessageIcon icon) {
    SDL_MessageBoxButtonData button = {
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"};
    SDL_MessageBoxData data = {};
    data.flags = icon == MessageIcon::error     ? SDL_MESSAGEBOX_ERROR
                 : icon == MessageIcon::warning ? SDL_MESSAGEBOX_WARNING
                                                : SDL_MESSAGEBOX_INFORMATION;
    data.window = owner ? SDL_GetWindowFromID(owner) : nullptr;
    data.title = title;
    data.message = text;
    data.numbuttons = 1;
    data.buttons = &button;
    int pressed = 0;
    return SDL_ShowMessageBox(&data, &pressed) == 0;
}

} // namespace windowsystem
