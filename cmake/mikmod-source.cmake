# libmikmod from its Debian source tree (scripts/fetch-sources.sh unpacks it), as a static library:
# for the builds that have no libmikmod package to link, the web page and Windows.
# The player, the module loaders, its own strcasecmp and the silent driver MikMod always registers;
# the song registers its own driver that mixes into memory, so no sound driver is compiled.
set(SHOW_MIKMOD_SOURCE "" CACHE PATH "libmikmod's unpacked source tree (scripts/fetch-sources.sh fetches it)")
if(NOT EXISTS "${SHOW_MIKMOD_SOURCE}/include/mikmod.h")
  message(FATAL_ERROR "set SHOW_MIKMOD_SOURCE to libmikmod's source tree (scripts/fetch-sources.sh fetches it)")
endif()
file(GLOB mikmod_sources
  ${SHOW_MIKMOD_SOURCE}/playercode/*.c ${SHOW_MIKMOD_SOURCE}/mmio/*.c
  ${SHOW_MIKMOD_SOURCE}/loaders/*.c ${SHOW_MIKMOD_SOURCE}/depackers/*.c)
add_library(mikmod STATIC ${mikmod_sources}
  ${SHOW_MIKMOD_SOURCE}/posix/strcasecmp.c ${SHOW_MIKMOD_SOURCE}/drivers/drv_nos.c)
target_compile_definitions(mikmod PRIVATE MIKMOD_BUILD HAVE_UNISTD_H HAVE_FCNTL_H
  HAVE_LIMITS_H HAVE_SYS_TYPES_H HAVE_STRINGS_H HAVE_INTTYPES_H HAVE_STDINT_H)
# On Windows its header otherwise asks for the DLL's imports.
target_compile_definitions(mikmod PUBLIC MIKMOD_STATIC)
target_compile_options(mikmod PRIVATE -w)  # its own warnings are not ours to fix
target_include_directories(mikmod PUBLIC ${SHOW_MIKMOD_SOURCE}/include)
