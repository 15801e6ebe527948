# Windows build (cross-compiled with mingw-w64): the system against the real DirectX headers
# and import libraries. The C++ run-time is linked statically, so the programs need only the
# system's own DLLs.
add_library(varnel_platform INTERFACE)
target_link_libraries(varnel_platform INTERFACE d3d9 d3dx9_26 dinput8 dsound dxguid winmm)
target_link_options(varnel_platform INTERFACE -static -static-libgcc -static-libstdc++)
# WinMain is the real entry point on Windows; nothing else is needed.
add_library(varnel_entry INTERFACE)
