# zlib for the web build: Debian's zlib source (cmake/fetch-zlib-source.sh, fetched once into
# the build folder at configure time) compiled with Emscripten as the static library
# varnel_zlib. Only the .X reader's inflation uses it.
set(VARNEL_ZLIB_SOURCE_DIR ${CMAKE_BINARY_DIR}/zlib-source/zlib CACHE PATH
    "zlib's source folder for the web build")
if(NOT EXISTS ${VARNEL_ZLIB_SOURCE_DIR}/inflate.c)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/cmake/fetch-zlib-source.sh
                            ${CMAKE_BINARY_DIR}/zlib-source RESULT_VARIABLE fetched)
    if(NOT fetched EQUAL 0 OR NOT EXISTS ${VARNEL_ZLIB_SOURCE_DIR}/inflate.c)
        message(FATAL_ERROR "zlib's source could not be fetched into ${VARNEL_ZLIB_SOURCE_DIR}")
    endif()
endif()
set(zlib_files adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM zlib_files PREPEND ${VARNEL_ZLIB_SOURCE_DIR}/)
list(TRANSFORM zlib_files APPEND .c)
add_library(varnel_zlib STATIC ${zlib_files})
target_include_directories(varnel_zlib SYSTEM PUBLIC ${VARNEL_ZLIB_SOURCE_DIR})
# zlib's own code is not held to the project's warnings.
target_compile_options(varnel_zlib PRIVATE -w)
