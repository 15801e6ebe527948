// entry_test.cpp: the Linux entry point as a program meets it. This WinMain is called by the
// layer's main() (platform/win32/entry.cpp) with the arguments that ctest passes, "one",
// "two words" and "three"; it checks what it was given and that memory freed at the top of the
// heap stays with the process, then exits with 0 when all held. Not a GoogleTest program: the
// entry point's main() is the one under test.
#include <windows.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int failures = 0;

void check(bool held, const char* what) {
    if (!held) {
        std::fprintf(stderr, "entry_test: %s\n", what);
        ++failures;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    check(instance == GetModuleHandleA(nullptr), "the instance is not the module handle");
    check(previous == nullptr, "a previous instance was given");
    check(commandLine != nullptr && std::strcmp(commandLine, "one two words three") == 0,
          "the command line is not the arguments joined by spaces");
    check(show == SW_SHOWDEFAULT, "the show command is not SW_SHOWDEFAULT");

    // A frame's worth of 64 KB blocks, taken and freed the way the renderer does each frame:
    // the heap must not shrink after the free, or every frame pays for fresh pages again.
    constexpr int blocks = 32;
    void* taken[blocks] = {};
    for (void*& block : taken) {
        block = std::malloc(64 * 1024);
        std::memset(block, 1, 64 * 1024);
    }
    const void* grown = sbrk(0);
    for (int i = blocks - 1; i >= 0; --i)
        std::free(taken[i]);
    check(sbrk(0) == grown, "freeing the top of the heap gave memory back to the kernel");

    return failures == 0 ? 0 : 1;
}
