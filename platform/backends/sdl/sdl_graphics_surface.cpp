// sdl_graphics_surface.cpp: the graphics surface of graphics_surface.h on SDL2: an OpenGL
// context on the SDL window behind a window handle (sdl_window.h), the swap and the display
// modes.
#include "graphics_surface.h"
#include "sdl_window.h"

namespace surface {

struct Context {
    HWND window = nullptr;
    SDL_Window* sdlWindow = nullptr;
    SDL_GLContext gl = nullptr;
};

bool loadLibrary() {
    return videoAvailable() && SDL_GL_LoadLibrary(nullptr) == 0;
}

void unloadLibrary() {
    SDL_GL_UnloadLibrary();
}

bool desktopDisplayMode(DisplayMode& mode) {
    SDL_DisplayMode display;
    if (SDL_GetDesktopDisplayMode(0, &display) != 0)
        return false;
    mode = {display.w, display.h, display.refresh_rate};
    return true;
}

ContextResult createContext(HWND window, Context*& context, ContextInfo& info) {
    context = nullptr;
    SDL_Window* sdlWindow = window ? sdlWindowOf(window) : nullptr;
    if (sdlWindow == nullptr)
        return ContextResult::noWindow;
    if ((SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL) == 0)
        return ContextResult::notAvailable;
    SDL_GLContext gl = SDL_GL_CreateContext(sdlWindow);
    if (gl == nullptr)
        return ContextResult::notAvailable;
    info = {};
    SDL_GetWindowSize(sdlWindow, &info.clientWidth, &info.clientHeight);
    SDL_GL_GetDrawableSize(sdlWindow, &info.drawableWidth, &info.drawableHeight);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &info.depthBits);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &info.stencilBits);
    SDL_DisplayMode mode = {};
    if (SDL_GetWindowDisplayMode(sdlWindow, &mode) == 0)
        info.refreshRate = mode.refresh_rate;
    context = new Context{window, sdlWindow, gl};
    return ContextResult::created;
}

void destroyContext(Context* context) {
    if (windowAlive(context))
        SDL_GL_MakeCurrent(context->sdlWindow, nullptr);
    SDL_GL_DeleteContext(context->gl);
    delete context;
}

bool windowAlive(const Context* context) {
    return sdlWindowOf(context->window) == context->sdlWindow;
}

void makeCurrent(Context* context) {
    if (SDL_GL_GetCurrentContext() != context->gl && windowAlive(context))
        SDL_GL_MakeCurrent(context->sdlWindow, context->gl);
}

void setSwapInterval(Context* /*context*/, int interval) {
    SDL_GL_SetSwapInterval(interval);
}

void swapBuffers(Context* context) {
    SDL_GL_SwapWindow(context->sdlWindow);
}

} // namespace surface
