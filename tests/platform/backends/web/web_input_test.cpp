// web_input_test.cpp: the web window system's input queue: events come out in order, motion
// merges, a full queue drops only new events, releases match presses, the wheel counts whole
// notches in the browser's three units, and deactivation releases what is held before the
// focus loss.
#include "web_input.h"

#include <dinput.h>
#include <gtest/gtest.h>

#include <vector>

using windowsystem::Event;
using windowsystem::EventKind;
using windowsystem::InputQueue;
using windowsystem::WheelUnit;

namespace {

constexpr windowsystem::NativeWindow window = 7;

std::vector<Event> drain(InputQueue& queue) {
    std::vector<Event> events;
    Event event;
    while (queue.pop(event))
        events.push_back(event);
    return events;
}

} // namespace

TEST(WebInput, KeysComeOutInOrderAndAreHeldBetween) {
    InputQueue queue;
    queue.keyDown(window, DIK_PRIOR, false);
    queue.keyDown(window, DIK_PRIOR, true);
    EXPECT_TRUE(queue.held[DIK_PRIOR]);
    queue.keyUp(window, DIK_PRIOR);
    EXPECT_FALSE(queue.held[DIK_PRIOR]);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, EventKind::keyDown);
    EXPECT_FALSE(events[0].repeat);
    EXPECT_TRUE(events[1].repeat);
    EXPECT_EQ(events[2].kind, EventKind::keyUp);
    for (const Event& event : events) {
        EXPECT_EQ(event.key, DIK_PRIOR);
        EXPECT_EQ(event.window, window);
    }
}

TEST(WebInput, WhatIsHeldForTheProgramFollowsTheEventsTaken) {
    InputQueue queue;
    queue.keyDown(window, DIK_ESCAPE, false);
    queue.buttonDown(window, 1);
    // Still queued: the program has not been told, and its press will not look like a repeat.
    EXPECT_FALSE(queue.heldTaken[DIK_ESCAPE]);
    EXPECT_EQ(queue.buttonsTaken, 0u);
    Event event;
    ASSERT_TRUE(queue.pop(event));
    EXPECT_TRUE(queue.heldTaken[DIK_ESCAPE]);
    ASSERT_TRUE(queue.pop(event));
    EXPECT_EQ(queue.buttonsTaken, 1u << 1);
    queue.keyUp(window, DIK_ESCAPE);
    queue.buttonUp(window, 1);
    EXPECT_TRUE(queue.heldTaken[DIK_ESCAPE]);
    drain(queue);
    EXPECT_FALSE(queue.heldTaken[DIK_ESCAPE]);
    EXPECT_EQ(queue.buttonsTaken, 0u);
}

TEST(WebInput, ReleasesOfKeysAndButtonsNeverPressedAreNoEvents) {
    InputQueue queue;
    queue.keyUp(window, DIK_ESCAPE);
    queue.buttonUp(window, 0);
    queue.keyDown(window, 0, false);
    queue.keyDown(window, 256, false);
    queue.buttonDown(window, 8);
    queue.buttonDown(window, -1);
    EXPECT_TRUE(drain(queue).empty());
    EXPECT_EQ(queue.buttons, 0u);
}

TEST(WebInput, ButtonsAreHeldAsBits) {
    InputQueue queue;
    queue.buttonDown(window, 1);
    queue.buttonDown(window, 7);
    EXPECT_EQ(queue.buttons, (1u << 1) | (1u << 7));
    queue.buttonUp(window, 1);
    EXPECT_EQ(queue.buttons, 1u << 7);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].kind, EventKind::mouseButtonUp);
    EXPECT_EQ(events[2].button, 1);
}

TEST(WebInput, ConsecutiveMotionMergesButNotAcrossOtherEvents) {
    InputQueue queue;
    queue.motion(window, 3, -2);
    queue.motion(window, 4, 5);
    queue.motion(window, 0, 0);
    queue.buttonDown(window, 0);
    queue.motion(window, -1, 1);
    queue.motion(window + 1, 2, 2);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, EventKind::mouseMotion);
    EXPECT_EQ(events[0].dx, 7);
    EXPECT_EQ(events[0].dy, 3);
    EXPECT_EQ(events[2].dx, -1);
    EXPECT_EQ(events[3].window, window + 1);
}

TEST(WebInput, AFullQueueDropsNewEventsAndKeepsWhatIsHeld) {
    InputQueue queue;
    for (int i = 0; i < InputQueue::capacity; ++i)
        queue.keyDown(window, DIK_A, true);
    queue.keyDown(window, DIK_B, false);
    EXPECT_EQ(queue.dropped, 1);
    EXPECT_TRUE(queue.held[DIK_B]);
    Event first;
    ASSERT_TRUE(queue.pop(first));
    EXPECT_EQ(first.key, DIK_A);
    // Room again: the queue wraps around.
    queue.keyUp(window, DIK_B);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), size_t(InputQueue::capacity));
    EXPECT_EQ(events.back().kind, EventKind::keyUp);
    EXPECT_EQ(events.back().key, DIK_B);
}

TEST(WebInput, WheelCountsWholeNotchesAwayFromTheUserAsPositive) {
    InputQueue queue;
    queue.wheel(window, -100.0, WheelUnit::pixel); // away from the user
    queue.wheel(window, 3.0, WheelUnit::line);
    queue.wheel(window, 2.0, WheelUnit::page);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, EventKind::mouseWheel);
    EXPECT_EQ(events[0].notches, 1);
    EXPECT_EQ(events[1].notches, -1);
    EXPECT_EQ(events[2].notches, -2);
}

TEST(WebInput, SmallWheelStepsAddUpAndATurnBackStartsAfresh) {
    InputQueue queue;
    queue.wheel(window, 40.0, WheelUnit::pixel);
    EXPECT_TRUE(drain(queue).empty());
    queue.wheel(window, 40.0, WheelUnit::pixel); // 0.8 notch: rounds to one, 0.2 ahead
    std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].notches, -1);
    EXPECT_NEAR(queue.wheelRest, 0.2, 1e-9);
    queue.wheel(window, 60.0, WheelUnit::pixel); // 0.6 more: the notch reported ahead counts
    EXPECT_TRUE(drain(queue).empty());
    // The other way: what was moved towards the user is forgotten.
    queue.wheel(window, -40.0, WheelUnit::pixel);
    EXPECT_TRUE(drain(queue).empty());
    EXPECT_NEAR(queue.wheelRest, 0.4, 1e-9);
    queue.wheel(window, -20.0, WheelUnit::pixel);
    events = drain(queue);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].notches, 1);
    queue.wheel(window, 1.0 / 0.0, WheelUnit::pixel);
    EXPECT_TRUE(drain(queue).empty());
}

TEST(WebInput, DeactivationReleasesWhatIsHeldThenLosesFocus) {
    InputQueue queue;
    queue.keyDown(window, DIK_LEFT, false);
    queue.keyDown(window, DIK_LSHIFT, false);
    queue.buttonDown(window, 2);
    queue.wheel(window, 40.0, WheelUnit::pixel);
    drain(queue);
    queue.deactivate(window);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 4u);
    int keysUp = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(events[i].kind, EventKind::keyUp);
        keysUp += events[i].key == DIK_LEFT || events[i].key == DIK_LSHIFT;
    }
    EXPECT_EQ(keysUp, 2);
    EXPECT_EQ(events[2].kind, EventKind::mouseButtonUp);
    EXPECT_EQ(events[2].button, 2);
    EXPECT_EQ(events[3].kind, EventKind::focusLost);
    EXPECT_EQ(events[3].window, window);
    EXPECT_FALSE(queue.held[DIK_LEFT]);
    EXPECT_EQ(queue.buttons, 0u);
    EXPECT_EQ(queue.wheelRest, 0.0);
    // Released keys are not released twice.
    queue.deactivate(window);
    EXPECT_EQ(drain(queue).size(), 1u);
}

TEST(WebInput, ActivationIsAFocusGain) {
    InputQueue queue;
    queue.activate(window);
    const std::vector<Event> events = drain(queue);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, EventKind::focusGained);
    EXPECT_EQ(events[0].window, window);
}
