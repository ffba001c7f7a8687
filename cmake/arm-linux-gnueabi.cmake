# Cross build for the show's device: 32-bit ARM (ARMv5TE) Linux without floating-point hardware,
# through Debian's arm-linux-gnueabi compilers, run here under qemu-arm.
#
# Libraries the toolchain does not bring (libpng, SDL 1.2, libmikmod, GoogleTest and what they
# need) come from a sysroot folder of unpacked armel packages, by default <build>/sysroot
# (scripts/test-arm.sh fills it). Pass -DSHOW_ARM_SYSROOT=DIR to use another one.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
# These are the compilers' defaults already; spelled out so that no other default can slip in
# hardware floating point or a newer instruction set than the device has.
set(CMAKE_C_FLAGS_INIT "-march=armv5te -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_INIT "-march=armv5te -mfloat-abi=soft")

if(NOT SHOW_ARM_SYSROOT)
  set(SHOW_ARM_SYSROOT ${CMAKE_BINARY_DIR}/sysroot)
endif()
# try_compile projects read this file again from a folder of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SHOW_ARM_SYSROOT)

set(_toolchainRoot /usr/arm-linux-gnueabi)
# libpulse keeps its private common library in a folder of its own.
set(_sysrootLibs ${SHOW_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi ${SHOW_ARM_SYSROOT}/lib/arm-linux-gnueabi
  ${SHOW_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pulseaudio)

# Headers, libraries and packages from the target's folders only; programs from the host.
set(CMAKE_FIND_ROOT_PATH ${_toolchainRoot} ${SHOW_ARM_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the sysroot's .pc files and prefixes their paths with the sysroot.
set(ENV{PKG_CONFIG_LIBDIR} "${SHOW_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${SHOW_ARM_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${SHOW_ARM_SYSROOT}")

# The sysroot's libraries need others of the sysroot (SDL 1.2 needs SDL 2, which needs X11, ...):
# the linker looks for those there too.
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
foreach(_dir ${_sysrootLibs})
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,-rpath-link,${_dir}")
endforeach()

# Target programs (the tests through CTest) run under qemu-arm as an ARM926 core: ARMv5TE without
# floating-point hardware, so a VFP or newer instruction stops the program instead of passing
# unnoticed. The toolchain's C library is the root of absolute library paths and the sysroot's
# libraries are on the target's search path.
string(REPLACE ";" ":" _libraryPath "${_sysrootLibs}")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -cpu arm926 -L ${_toolchainRoot} -E LD_LIBRARY_PATH=${_libraryPath})
