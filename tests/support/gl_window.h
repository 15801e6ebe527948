// gl_window.h: the window of the OpenGL-only comparison programs (benchmarks/plain_gl_loop.cpp
// and benchmarks/scene_reference.cpp): SDL2 with a compatibility context of OpenGL 2.1, the
// program window's framebuffer (8-bit RGBA, 24-bit depth) and no wait for the display.
#pragma once

#include <SDL.h>

#include <cstdio>

// Opens the window and makes its context current; null, with the reason on standard error
// under the program's name, when that cannot be done.
inline SDL_Window* openGlWindow(const char* program, int width, int height, int stencilBits) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "%s: %s\n", program, SDL_GetError());
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits);
    SDL_Window* window = SDL_CreateWindow(program, 0, 0, width, height, SDL_WINDOW_OPENGL);
    if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) {
        std::fprintf(stderr, "%s: %s\n", program, SDL_GetError());
        return nullptr;
    }
    SDL_GL_SetSwapInterval(0);
    return window;
}
