// message_box.cpp: MessageBoxA with one OK button, shown by the window system
// (window_system.h). The Windows-1251 text is also written as one line to standard error, so
// that it survives unattended runs: with VARNEL_UNATTENDED set (non-empty, not "0") or with no
// display, nothing is shown and the answer is IDOK at once.
#include "codepage.h"
#include "window_system.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool unattended() {
    const char* value = getenv("VARNEL_UNATTENDED");
    return value && value[0] != '\0' && strcmp(value, "0") != 0;
}

windowsystem::MessageIcon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return windowsystem::MessageIcon::error;
    case MB_ICONEXCLAMATION:
        return windowsystem::MessageIcon::warning;
    default:
        return windowsystem::MessageIcon::information;
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
    if (unattended() || !windowsystem::available())
        return IDOK;
    // A hidden owner would hide its box with it on some window managers.
    windowsystem::NativeWindow shownOwner =
        IsWindowVisible(owner) ? windowsystem::nativeWindowOf(owner) : 0;
    if (!windowsystem::showMessageBox(shownOwner, title.c_str(), message.c_str(), iconOf(type)))
        return 0;
    // Closing the box counts as its only button, as on Windows.
    return IDOK;
}
