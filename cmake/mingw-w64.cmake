# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, which std::thread needs). The libraries Debian does not build
# for MinGW come from the dependency folder scripts/mingw-deps fills; give it
# as QUILLON_MINGW_PREFIX (cmake -D, or the environment).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)

if(NOT QUILLON_MINGW_PREFIX AND DEFINED ENV{QUILLON_MINGW_PREFIX})
  set(QUILLON_MINGW_PREFIX $ENV{QUILLON_MINGW_PREFIX})
endif()
# try_compile projects see the toolchain again, without our -D options.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLON_MINGW_PREFIX)

# Headers and libraries only from the MinGW tree and the dependency folder,
# never from the build machine's /usr; programs (wx-config, pkg-config) from
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw} ${QUILLON_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(QUILLON_MINGW_PREFIX)
  # As /usr/include is on Linux: <lzo/lzo1x.h> is found from the folder above lzo2's own.
  set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${QUILLON_MINGW_PREFIX}/include)
  set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${QUILLON_MINGW_PREFIX}/include)
  set(ENV{PKG_CONFIG_LIBDIR} ${QUILLON_MINGW_PREFIX}/lib/pkgconfig:${QUILLON_MINGW_PREFIX}/share/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(wxWidgets_CONFIG_EXECUTABLE ${QUILLON_MINGW_PREFIX}/bin/wx-config CACHE FILEPATH "")
endif()

# Everything links statically, so pkg-config must name the libraries' own
# dependencies too (SDL2's Windows system libraries), and zlib is the archive,
# not the DLL's import library.
set(PKG_CONFIG_ARGN --static)
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under Wine.
find_program(QUILLON_WINE NAMES wine wine64)
if(QUILLON_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_WINE})
endif()
