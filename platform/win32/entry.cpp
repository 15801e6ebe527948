// entry.cpp: the process entry point. Calls the program's WinMain with the module handle and the
// command line after the program name (arguments joined by spaces), and returns its result as the
// exit code. Before that, tells the C library to keep the heap's free top. GetModuleHandleA comes
// from window.cpp.
#include <windows.h>

#include <malloc.h>

#include <string>

int main(int argc, char** argv) {
#ifdef M_TRIM_THRESHOLD
    // The software renderer takes each frame's working memory in 64 KB blocks and frees it at
    // the present. By default glibc gives the freed top of the heap back to the kernel each
    // frame, and the next frame faults it in again page by page, zero-filled: 3 to 5% of the frame
    // rate. Up to 64 MB of free heap is kept instead.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
