// build_config.cpp: the build-time settings of one deliverable (see build_config.h).
#include "graphics/build_config.h"

#include <d3d9.h>

#if VARNEL_HARDWARE_VP
const DWORD vertexProcessing = D3DCREATE_HARDWARE_VERTEXPROCESSING;
#else
const DWORD vertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
#endif

#if VARNEL_IMMEDIATE_PRESENT
const UINT presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
#else
const UINT presentInterval = D3DPRESENT_INTERVAL_DEFAULT;
#endif
