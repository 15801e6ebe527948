// build_config.cpp: the build-time settings of one deliverable, chosen by the compile definitions
// VARNEL_HARDWARE_VP and VARNEL_IMMEDIATE_PRESENT.
#include "graphics/build_config.h"

#include <d3d9.h>

#if !defined(VARNEL_HARDWARE_VP) || !defined(VARNEL_IMMEDIATE_PRESENT)
#error "VARNEL_HARDWARE_VP and VARNEL_IMMEDIATE_PRESENT must be defined by the build"
#endif

const DWORD vertexProcessing =
    VARNEL_HARDWARE_VP ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
const UINT presentInterval =
    VARNEL_IMMEDIATE_PRESENT ? D3DPRESENT_INTERVAL_IMMEDIATE : D3DPRESENT_INTERVAL_DEFAULT;
