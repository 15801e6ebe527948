// web_message_box.cpp: the window system's message box (window_system.h) as the page's dialog
// with one OK button; the program waits until it is pressed (web_wait.h). The text arrives in
// UTF-8, decoded from Windows-1251 by MessageBoxA (platform/win32/message_box.cpp).
#include "web_wait.h"
#include "window_system.h"

namespace windowsystem {

bool showMessageBox(NativeWindow /*owner*/, const char* title, const char* text, MessageIcon icon) {
    if (!available())
        return false;
    waitForDialog(title, text,
                  icon == MessageIcon::error     ? 2
                  : icon == MessageIcon::warning ? 1
                                                 : 0);
    return true;
}

} // namespace windowsystem
