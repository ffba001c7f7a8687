# Cross build for 64-bit Windows through Debian's MinGW-w64 compilers, run here under Wine.
#
# The posix-thread compilers, for std::thread and std::mutex (the win32-thread ones of GCC 12 have
# neither). The C and C++ runtimes and winpthread are linked into each program, so a Windows machine
# needs no MinGW DLLs; SDL2.dll is the only one the show brings.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# No link time in the headers of show.exe and SDL2.dll (ld would write the clock's), so the same
# sources give the same files.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -Wl,--no-insert-timestamp")

# Headers and libraries from MinGW's folder (and any prefix the caller adds); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Target programs (the core's tests through CTest) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
