// resources.cpp: resources of the program's own module. The Linux build embeds none, so nothing is
// found and the companions fail on the null handles they are given.
#include <windows.h>

HRSRC WINAPI FindResourceA(HMODULE, LPCSTR, LPCSTR) {
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC) {
    return nullptr;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC) {
    return 0;
}

LPVOID WINAPI LockResource(HGLOBAL) {
    return nullptr;
}
