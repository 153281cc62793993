# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers of the
# posix thread model (std::thread and std::mutex need it), and runs what it
# builds under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVIRELLE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVIRELLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIRELLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIRELLE_MINGW_PREFIX}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIRELLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# The posix compilers' runtime (libgcc, libstdc++, winpthread) is linked in,
# so that programs and the module need only the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
