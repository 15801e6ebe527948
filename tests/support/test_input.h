// test_input.h: the program's input set-up for the DirectInput tests: DirectInput 8 with an
// exclusive foreground mouse and keyboard on the window and a keyboard buffer of 8 events, and
// their release, last made first.
#pragma once

#include <windows.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include "support/release.h"

// A failure ends the test; call it from a function that returns nothing.
inline void createTestInput(HWND window, IDirectInput8A*& directInput, IDirectInputDevice8A*& mouse,
                            IDirectInputDevice8A*& keyboard) {
    ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&directInput), nullptr),
              DI_OK);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    DIPROPDWORD property = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 8};
    ASSERT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph), DI_OK);
}

inline void releaseTestInput(IDirectInput8A*& directInput, IDirectInputDevice8A*& mouse,
                             IDirectInputDevice8A*& keyboard) {
    releaseInterface(keyboard);
    releaseInterface(mouse);
    releaseInterface(directInput);
}
