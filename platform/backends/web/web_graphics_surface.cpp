// web_graphics_surface.cpp: the graphics surface of graphics_surface.h on a WebGL 2 context on
// the page's canvas (web_canvas.h). The browser shows what was drawn once the program gives it
// its turn, so the swap is where the program waits for the browser (web_wait.h): until the
// next animation frame with a swap interval, or only for the browser's pending work without.
#include "graphics_surface.h"
#include "web_canvas.h"
#include "web_wait.h"

#include <GLES3/gl3.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

namespace surface {

struct Context {
    HWND window = nullptr;
    windowsystem::NativeWindow native = 0;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE gl = 0;
    int interval = 1;
};

bool loadLibrary() {
    return windowsystem::available();
}

void unloadLibrary() {}

bool desktopDisplayMode(DisplayMode& mode) {
    const int width = EM_ASM_INT({ return screen.width | 0; });
    const int height = EM_ASM_INT({ return screen.height | 0; });
    if (width <= 0 || height <= 0)
        return false;
    // Browsers do not tell the display's refresh rate.
    mode = {width, height, 0};
    return true;
}

ContextResult createContext(HWND window, Context*& context, ContextInfo& info) {
    context = nullptr;
    const windowsystem::NativeWindow native = window ? windowsystem::nativeWindowOf(window) : 0;
    if (native == 0)
        return ContextResult::noWindow;
    if (native != canvasWindow())
        return ContextResult::notAvailable;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // Direct3D's copying swap leaves the picture in the back buffer; WebGL keeps it only so.
    attributes.preserveDrawingBuffer = EM_TRUE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE gl =
        emscripten_webgl_create_context(canvasSelector, &attributes);
    if (gl <= 0)
        return ContextResult::notAvailable;
    emscripten_webgl_make_context_current(gl);
    info = {};
    // The window's client area in CSS pixels; the canvas holds device pixels.
    windowsystem::clientSize(native, info.clientWidth, info.clientHeight);
    emscripten_get_canvas_element_size(canvasSelector, &info.drawableWidth, &info.drawableHeight);
    glGetIntegerv(GL_DEPTH_BITS, &info.depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &info.stencilBits);
    context = new Context{window, native, gl};
    return ContextResult::created;
}

void destroyContext(Context* context) {
    if (emscripten_webgl_get_current_context() == context->gl)
        emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(context->gl);
    delete context;
}

bool windowAlive(const Context* context) {
    return windowsystem::nativeWindowOf(context->window) == context->native &&
           canvasWindow() == context->native;
}

void makeCurrent(Context* context) {
    if (emscripten_webgl_get_current_context() != context->gl && windowAlive(context))
        emscripten_webgl_make_context_current(context->gl);
}

void setSwapInterval(Context* context, int interval) {
    context->interval = interval;
}

void swapBuffers(Context* context) {
    waitForFrame(context->interval != 0);
}

} // namespace surface
