# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VISTREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VISTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VISTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VISTREL_MINGW}-windres)
set(CMAKE_AR ${VISTREL_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VISTREL_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# The system's headers and libraries, and every prefix given (the dependencies cross-built into the cache).
set(CMAKE_FIND_ROOT_PATH /usr/${VISTREL_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the cross-built libraries only, never the build machine's.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(_vistrel_pc "")
foreach(_prefix IN LISTS CMAKE_PREFIX_PATH)
    list(APPEND _vistrel_pc ${_prefix}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" _vistrel_pc "${_vistrel_pc}")
set(ENV{PKG_CONFIG_LIBDIR} "${_vistrel_pc}")
