# Windows build (cross-compiled with mingw-w64): the system against the real DirectX headers
# and import libraries. The C++ run-time is linked statically, so the programs need only the
# system's own DLLs.
add_library(varnel_platform INTERFACE)
target_link_libraries(varnel_platform INTERFACE d3d9 d3dx9_26 dinput8 dsound dxguid winmm)
target_link_options(varnel_platform INTERFACE -static -static-libgcc -static-libstdc++)
# WinMain is the real entry point on Windows; nothing else is needed.
add_library(varnel_entry INTERFACE)

# Program resources: the icons are drawn at build time by tools/icongen, compiled for the
# build machine with its own C++ compiler, since everything else here is cross-compiled.
find_program(VARNEL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(VARNEL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
file(GLOB VARNEL_ICONGEN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/icongen/*.cpp)
set(VARNEL_ICONS ${VARNEL_ICON_DIR}/locomotive.ico ${VARNEL_ICON_DIR}/wheel.ico)
add_custom_command(
    OUTPUT ${VARNEL_ICONS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNEL_ICON_DIR}
    COMMAND ${VARNEL_HOST_CXX} -std=c++17 -O2 ${VARNEL_ICONGEN_SOURCES}
            -o ${VARNEL_ICON_DIR}/varnel_icongen
    COMMAND ${VARNEL_ICON_DIR}/varnel_icongen ${VARNEL_ICON_DIR}
    DEPENDS ${VARNEL_ICONGEN_SOURCES}
    COMMENT "Drawing the program icons")
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/varnel.rc PROPERTIES
    OBJECT_DEPENDS "${VARNEL_ICONS}"
    INCLUDE_DIRECTORIES "${VARNEL_ICON_DIR};${CMAKE_SOURCE_DIR}/app")
set(VARNEL_PROGRAM_RESOURCES ${CMAKE_SOURCE_DIR}/app/varnel.rc ${VARNEL_ICONS})

# The data folder beside the programs, written by the data generator built for the build machine.
file(GLOB VARNEL_ASSETGEN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/assetgen/*.cpp)
set(VARNEL_DATA_STAMP ${CMAKE_BINARY_DIR}/meshes/.generated)
add_custom_command(
    OUTPUT ${VARNEL_DATA_STAMP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
    COMMAND ${VARNEL_HOST_CXX} -std=c++20 -O2 ${VARNEL_ASSETGEN_SOURCES}
            -o ${CMAKE_BINARY_DIR}/tools/varnel_assetgen
    COMMAND ${CMAKE_BINARY_DIR}/tools/varnel_assetgen ${CMAKE_BINARY_DIR}/meshes
    COMMAND ${CMAKE_COMMAND} -E touch ${VARNEL_DATA_STAMP}
    DEPENDS ${VARNEL_ASSETGEN_SOURCES}
    COMMENT "Generating meshes, textures and sounds")
add_custom_target(varnel_data ALL DEPENDS ${VARNEL_DATA_STAMP})
