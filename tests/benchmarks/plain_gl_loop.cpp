// plain_gl_loop.cpp: the reference frame loop for the frame-rate comparison of
// tools/bench-frame-rate.sh: SDL2 and OpenGL alone, in a window of the program's client size,
// clearing colour and depth and swapping without waiting for the display. Prints the frame rate
// of each 2-second interval to stderr in the form the Direct3D layer uses for
// VARNEL_FRAME_REPORT. Usage: plain_gl_loop <seconds>
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>

#include "support/gl_window.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    // The client area of a 1024 x 768 window with the standard frame.
    SDL_Window* window = openGlWindow("plain_gl_loop", 1008, 729, 0);
    if (window == nullptr)
        return 1;

    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 start = SDL_GetPerformanceCounter();
    const Uint64 end = start + Uint64(seconds * double(frequency));
    Uint64 intervalStart = start;
    Uint64 intervalFrames = 0;
    Uint64 totalFrames = 0;
    Uint64 now = start;
    while (now < end) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapWindow(window);
        ++intervalFrames;
        ++totalFrames;
        now = SDL_GetPerformanceCounter();
        if (now - intervalStart >= 2 * frequency) {
            std::fprintf(stderr, "frame rate: %.1f fps\n",
                         double(intervalFrames) * double(frequency) / double(now - intervalStart));
            intervalStart = now;
            intervalFrames = 0;
        }
    }
    const double elapsed = double(now - start) / double(frequency);
    std::fprintf(stderr, "frame rate: %.1f fps average over %llu frames in %.1f s\n",
                 double(totalFrames) / elapsed, static_cast<unsigned long long>(totalFrames),
                 elapsed);
    SDL_GL_DeleteContext(SDL_GL_GetCurrentContext());
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
