# Windows build (cross-compiled with mingw-w64): the system against the real DirectX headers
# and import libraries. The C++ run-time is linked statically, so the programs need only the
# system's own DLLs.
add_library(varnel_platform INTERFACE)
target_link_libraries(varnel_platform INTERFACE d3d9 d3dx9_26 dinput8 dsound dxguid winmm)
target_link_options(varnel_platform INTERFACE -static -static-libgcc -static-libstdc++)
# WinMain is the real entry point on Windows; nothing else is needed.
add_library(varnel_entry INTERFACE)

# The data and icon generators (tools/CMakeLists.txt) are built once for the build machine,
# with its own C++ compiler, as a project of their own, since everything else here is
# cross-compiled. They write the data folder `meshes` and the icons into this build folder;
# the target varnel_data stands for all of it.
include(ExternalProject)
find_program(VARNEL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(VARNEL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(VARNEL_ICONS ${VARNEL_ICON_DIR}/locomotive.ico ${VARNEL_ICON_DIR}/wheel.ico)
ExternalProject_Add(varnel_data
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
    BINARY_DIR ${CMAKE_BINARY_DIR}/tools
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VARNEL_HOST_CXX} -DCMAKE_BUILD_TYPE=Release
               -DVARNEL_GENERATED_ROOT=${CMAKE_BINARY_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${VARNEL_ICONS} ${CMAKE_BINARY_DIR}/meshes/.generated)

# Program resources: the icons, compiled into each program.
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/varnel.rc PROPERTIES
    OBJECT_DEPENDS "${VARNEL_ICONS}"
    INCLUDE_DIRECTORIES "${VARNEL_ICON_DIR};${CMAKE_SOURCE_DIR}/app")
set(VARNEL_PROGRAM_RESOURCES ${CMAKE_SOURCE_DIR}/app/varnel.rc)
