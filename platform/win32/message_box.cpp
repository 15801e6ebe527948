// message_box.cpp: MessageBoxA with one OK button on SDL's message box. The Windows-1251
// text is also written as one line to standard error, so that it survives unattended runs:
// with VARNEL_UNATTENDED set (non-empty, not "0") or with no display, nothing is shown and
// the answer is IDOK at once.
// Depends on: SDL2, codepage.h, sdl_window.h.
#include "codepage.h"
#include "sdl_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool unattended() {
    const char* value = getenv("VARNEL_UNATTENDED");
    return value && value[0] != '\0' && strcmp(value, "0") != 0;
}

Uint32 sdlIconFlags(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION;
    }
}

} // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Only the single OK button is offered.
    if ((type & MB_TYPEMASK) != MB_OK)
        return 0;
    std::string message = utf8FromCp1251(text);
    std::string title = caption ? utf8FromCp1251(caption) : std::string("Error");
    std::string line = message;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    fprintf(stderr, "%s\n", line.c_str());
    fflush(stderr);
    if (unattended() || !videoAvailable())
        return IDOK;

    SDL_MessageBoxButtonData button = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                                           SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                       IDOK, "OK"};
    SDL_MessageBoxData data = {};
    data.flags = sdlIconFlags(type);
    // A hidden owner would hide its box with it on some window managers.
    data.window = IsWindowVisible(owner) ? sdlWindowOf(owner) : nullptr;
    data.title = title.c_str();
    data.message = message.c_str();
    data.numbuttons = 1;
    data.buttons = &button;
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) != 0)
        return 0;
    // Closing the box counts as its only button, as on Windows.
    return IDOK;
}
