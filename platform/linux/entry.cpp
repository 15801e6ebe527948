// entry.cpp: the process entry point. Calls the program's WinMain with the module handle and
// the command line after the program name (arguments joined by spaces), and returns its
// result as the exit code.
// Depends on: window.cpp (GetModuleHandleA).
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
