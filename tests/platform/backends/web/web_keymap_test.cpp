// web_keymap_test.cpp: the browser's key names give the same scan codes as the desktop
// backend's table: the program's own keys, the rest of the main keyboard, the keypad and the
// keys the browser names in two ways; unknown names give none.
#include "web_keymap.h"

#include <dinput.h>
#include <gtest/gtest.h>

TEST(WebKeymap, TheProgramsKeys) {
    EXPECT_EQ(dikOfKeyCode("Escape"), DIK_ESCAPE);
    EXPECT_EQ(dikOfKeyCode("PageUp"), DIK_PRIOR);
    EXPECT_EQ(dikOfKeyCode("PageDown"), DIK_NEXT);
    EXPECT_EQ(dikOfKeyCode("ArrowLeft"), DIK_LEFT);
    EXPECT_EQ(dikOfKeyCode("ArrowRight"), DIK_RIGHT);
    EXPECT_EQ(dikOfKeyCode("ArrowUp"), DIK_UP);
    EXPECT_EQ(dikOfKeyCode("ArrowDown"), DIK_DOWN);
    EXPECT_EQ(dikOfKeyCode("Enter"), DIK_RETURN);
    EXPECT_EQ(dikOfKeyCode("NumpadEnter"), DIK_NUMPADENTER);
}

TEST(WebKeymap, MainKeyboardByPositionNotByLetter) {
    EXPECT_EQ(dikOfKeyCode("KeyA"), DIK_A);
    EXPECT_EQ(dikOfKeyCode("KeyQ"), DIK_Q);
    EXPECT_EQ(dikOfKeyCode("KeyZ"), DIK_Z);
    EXPECT_EQ(dikOfKeyCode("Digit1"), DIK_1);
    EXPECT_EQ(dikOfKeyCode("Digit0"), DIK_0);
    EXPECT_EQ(dikOfKeyCode("Minus"), DIK_MINUS);
    EXPECT_EQ(dikOfKeyCode("Quote"), DIK_APOSTROPHE);
    EXPECT_EQ(dikOfKeyCode("Backquote"), DIK_GRAVE);
    EXPECT_EQ(dikOfKeyCode("IntlBackslash"), DIK_OEM_102);
    EXPECT_EQ(dikOfKeyCode("ShiftRight"), DIK_RSHIFT);
    EXPECT_EQ(dikOfKeyCode("AltRight"), DIK_RMENU);
    EXPECT_EQ(dikOfKeyCode("F1"), DIK_F1);
    EXPECT_EQ(dikOfKeyCode("F12"), DIK_F12);
    // The letters' names are the keys' US places, not what the layout prints on them.
    EXPECT_EQ(dikOfKeyCode("a"), 0);
}

TEST(WebKeymap, KeypadAndNavigationBlockAreDistinct) {
    EXPECT_EQ(dikOfKeyCode("Numpad7"), DIK_NUMPAD7);
    EXPECT_EQ(dikOfKeyCode("Home"), DIK_HOME);
    EXPECT_EQ(dikOfKeyCode("NumpadDecimal"), DIK_DECIMAL);
    EXPECT_EQ(dikOfKeyCode("Delete"), DIK_DELETE);
    EXPECT_EQ(dikOfKeyCode("NumpadSubtract"), DIK_SUBTRACT);
    EXPECT_EQ(dikOfKeyCode("ControlRight"), DIK_RCONTROL);
}

TEST(WebKeymap, BothNamesOfTheSystemKeys) {
    EXPECT_EQ(dikOfKeyCode("MetaLeft"), DIK_LWIN);
    EXPECT_EQ(dikOfKeyCode("OSLeft"), DIK_LWIN);
    EXPECT_EQ(dikOfKeyCode("MetaRight"), DIK_RWIN);
    EXPECT_EQ(dikOfKeyCode("OSRight"), DIK_RWIN);
}

TEST(WebKeymap, UnknownNamesGiveNoKey) {
    EXPECT_EQ(dikOfKeyCode(nullptr), 0);
    EXPECT_EQ(dikOfKeyCode(""), 0);
    EXPECT_EQ(dikOfKeyCode("Unidentified"), 0);
    EXPECT_EQ(dikOfKeyCode("escape"), 0);
    EXPECT_EQ(dikOfKeyCode("Escape "), 0);
}
