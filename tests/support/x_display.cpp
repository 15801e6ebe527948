// x_display.cpp: XDisplay on Xlib, and typing through xdotool.
#include "support/x_display.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

XErrorHandler previousErrorHandler = nullptr;

// A window can vanish between listing it and asking for its name or attributes (a program
// closing while a test searches); the call then just fails. Xlib's default handler would end
// the test process and leave the program it started running.
int ignoreVanishedWindows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
    return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
}

std::string titleOf(Display* display, Window window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

Window search(Display* display, Window parent, const std::string& title) {
    Window root = 0, parentOut = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (titleOf(display, children[i]) == title &&
            XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable)
            found = children[i];
        else
            found = search(display, children[i], title);
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

} // namespace

bool WindowPicture::savePpm(const std::string& path) const {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (uint32_t pixel : pixels) {
        unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                static_cast<unsigned char>(pixel >> 8),
                                static_cast<unsigned char>(pixel)};
        fwrite(rgb, 1, 3, file);
    }
    return fclose(file) == 0;
}

XDisplay::XDisplay() : display(XOpenDisplay(nullptr)) {
    XErrorHandler previous = XSetErrorHandler(ignoreVanishedWindows);
    if (previous != ignoreVanishedWindows)
        previousErrorHandler = previous;
}

XDisplay::~XDisplay() {
    if (display != nullptr)
        XCloseDisplay(display);
}

unsigned long XDisplay::findWindow(const std::string& title, int milliseconds) {
    if (display == nullptr)
        return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        Window window = search(display, DefaultRootWindow(display), title);
        if (window != 0 || std::chrono::steady_clock::now() >= deadline)
            return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool XDisplay::windowShown(const std::string& title) {
    return display != nullptr && search(display, DefaultRootWindow(display), title) != 0;
}

bool XDisplay::requestClose(unsigned long window) {
    if (display == nullptr || window == 0)
        return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return sent != 0;
}

bool XDisplay::capture(unsigned long window, WindowPicture& picture) {
    XWindowAttributes attributes;
    if (display == nullptr || !XGetWindowAttributes(display, window, &attributes))
        return false;
    XImage* image =
        XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.pixels.resize(size_t(picture.width) * size_t(picture.height));
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)] =
                0xFF000000u | (static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
    XDestroyImage(image);
    return true;
}

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

void typeKey(unsigned long window, const char* name, int times) {
    for (int i = 0; i < times; ++i) {
        xdotool("key --window " + std::to_string(window) + " " + name);
        pause(80);
    }
}
