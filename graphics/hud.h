// hud.h: the program's overlay layout and its readouts (frame rate, speeds, car, train type).
// buildHud creates appState.overlay and the five item handles through which values are written;
// updateReadouts refreshes the frame rate and the current speed once per frame.
#pragma once

#include "graphics/text_overlay.h"

// Units per second to km/h (0.028125 in single precision).
constexpr double kilometresPerHourPerUnit = 0.028124998658895558;

// Borrowed from appState.overlay; null until buildHud and after the overlay is freed.
extern TextItem* fpsItem;
extern TextItem* carNumberItem;
extern TextItem* trainTypeItem;
extern TextItem* speedItem;
extern TextItem* targetSpeedItem;

// Creates the overlay with its fixed layout at the bottom of the 1024 x 768 window.
void buildHud();
// Frees the overlay's groups and items, then the overlay; the handles become null with it.
void releaseHud();
// Writes a target speed in km/h into targetSpeedItem ("%0.1f").
void showTargetSpeed(double kilometresPerHour);
// Counts the frame, recomputes the frame rate every 500 ms or more, and writes the
// frame-rate and current-speed values.
void updateReadouts();
// The same with the timer reading `now` (milliseconds of timeGetTime) given by the caller.
void updateReadoutsAt(DWORD now);
