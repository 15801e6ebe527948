// build_config.h: the two build-time settings that make the four deliverables.
// Each program compiles build_config.cpp with its own VARNEL_HARDWARE_VP and
// VARNEL_IMMEDIATE_PRESENT; everything else is shared.
#pragma once

#include <windows.h>

// The device creation behaviour flag: software or hardware vertex processing.
extern const DWORD vertexProcessing;
// The presentation interval: immediate (no wait for the retrace) or the default.
extern const UINT presentInterval;
