// build_config.h: the two build-time settings that make the four deliverables: the vertex
// processing flag of device creation and the presentation interval. Each program compiles
// build_config.cpp with its own VARNEL_HARDWARE_VP and VARNEL_IMMEDIATE_PRESENT (0 or 1).
#pragma once

#include <windows.h>

// D3DCREATE_SOFTWARE_VERTEXPROCESSING or D3DCREATE_HARDWARE_VERTEXPROCESSING.
extern const DWORD vertexProcessing;
// D3DPRESENT_INTERVAL_IMMEDIATE or D3DPRESENT_INTERVAL_DEFAULT.
extern const UINT presentInterval;
