# The web build (Emscripten, the `web` preset): the four programs as WebAssembly with a page
# each, the data folder packed for the browser, and the data generator run under Node. The
# site is the build folder's files named in VARNEL_WEB_SITE_FILES: index.html, the programs'
# .html, .js and .wasm files, meshes.data with its loader meshes-data.js, and the page's
# varnel-page.js and varnel.css (web/).
# Needs VARNEL_PROGRAMS (the programs' targets) and the varnel_data target (tools/).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The generators run under Node at build time, reading and writing the real file system.
foreach(generator varnel_assetgen varnel_icongen)
    target_link_options(${generator} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node
                        -sALLOW_MEMORY_GROWTH=1)
endforeach()

# The program's loop runs as it is: the browser gets its turn at each Present and while a
# message box waits for OK, through Asyncify. Only the functions on the way from main to those
# two waits are instrumented, unless VARNEL_WEB_ASYNCIFY_ONLY is off (every function is then).
option(VARNEL_WEB_ASYNCIFY_ONLY "Instrument only the loop's call chain for Asyncify" ON)
set(VARNEL_WEB_WAITS varnel_wait_for_frame varnel_wait_for_dialog)
list(JOIN VARNEL_WEB_WAITS "," web_waits)
# Windows never maps the lowest 64 KB, and the window functions tell names from atoms by that
# (IS_INTRESOURCE): the program's data starts above it, as its stack and heap follow its data.
set(VARNEL_WEB_LINK_OPTIONS -sGLOBAL_BASE=65536 -sASYNCIFY=1 "-sASYNCIFY_IMPORTS=[${web_waits}]"
    -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web)
if(VARNEL_WEB_ASYNCIFY_ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                           ${PROJECT_SOURCE_DIR}/web/asyncify-only.txt)
    file(STRINGS ${PROJECT_SOURCE_DIR}/web/asyncify-only.txt web_only REGEX "^[^#]")
    # Spaces and commas cannot stand in the option: Emscripten reads '.' and '?' for them.
    list(TRANSFORM web_only REPLACE " " ".")
    list(TRANSFORM web_only REPLACE "," "?")
    list(JOIN web_only "," web_only)
    # The list names functions, so they keep their names through the link.
    list(APPEND VARNEL_WEB_LINK_OPTIONS "-sASYNCIFY_ONLY=[${web_only}]" --profiling-funcs)
endif()

# The names kept for the list are dropped from the program after the link.
find_program(VARNEL_WASM_OPT wasm-opt REQUIRED)

set(VARNEL_WEB_SITE_FILES index.html varnel-page.js varnel.css meshes.data meshes-data.js
                          favicon.png)
foreach(name IN LISTS VARNEL_PROGRAMS)
    list(APPEND VARNEL_WEB_SITE_FILES ${name}.html ${name}.js ${name}.wasm)
    target_link_options(${name} PRIVATE ${VARNEL_WEB_LINK_OPTIONS})
    if(VARNEL_WEB_ASYNCIFY_ONLY)
        add_custom_command(TARGET ${name} POST_BUILD
                           COMMAND ${VARNEL_WASM_OPT} -all --strip-debug ${name}.wasm -o ${name}.wasm
                           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    endif()
    set(VARNEL_PAGE_PROGRAM ${name})
    configure_file(${PROJECT_SOURCE_DIR}/web/program.html.in ${CMAKE_BINARY_DIR}/${name}.html
                   @ONLY)
endforeach()
# The site's front page starts the same program as the Linux launcher.
set(VARNEL_PAGE_PROGRAM varnel-hwvp-default)
configure_file(${PROJECT_SOURCE_DIR}/web/program.html.in ${CMAKE_BINARY_DIR}/index.html @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/web/varnel-page.js ${CMAKE_BINARY_DIR}/varnel-page.js
               COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/web/varnel.css ${CMAKE_BINARY_DIR}/varnel.css COPYONLY)

# The data folder and the overlay's font (Liberation Sans Bold, in `fonts` where the font
# backend looks first), packed into one download that all four pages share.
set(VARNEL_WEB_FONT /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/meshes.data ${CMAKE_BINARY_DIR}/meshes-data.js
    COMMAND ${Python3_EXECUTABLE} ${EMSCRIPTEN_ROOT_PATH}/tools/file_packager.py meshes.data
            --preload meshes@/meshes ${VARNEL_WEB_FONT}@/fonts/LiberationSans-Bold.ttf --exclude .generated
            --js-output=meshes-data.js
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS varnel_data ${CMAKE_BINARY_DIR}/meshes/.generated ${VARNEL_WEB_FONT}
    COMMENT "Packing the data folder for the browser")
# The pages' icon: the programs' locomotive.
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/favicon.png
    COMMAND ${CMAKE_COMMAND} -E copy icons/locomotive-32.png favicon.png
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS varnel_data ${CMAKE_BINARY_DIR}/icons/locomotive-32.png)
add_custom_target(varnel_web_data ALL DEPENDS ${CMAKE_BINARY_DIR}/meshes.data
                                              ${CMAKE_BINARY_DIR}/favicon.png)

if(VARNEL_BUILD_TESTS)
    enable_testing()
    add_subdirectory(tests/platform/backends/web)
endif()
