# Cross build for Windows with Debian's mingw-w64 (the posix thread model, so that std::thread and
# std::mutex work). SKV_WIN_ARCH is set by the toolchain file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SKV_WIN_ARCH})
set(triple ${SKV_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Libraries come from the toolchain's own root (zlib from libz-mingw-w64-dev) and from the prefix
# scripts/build-win-deps.sh fills from Debian's source packages; nothing from the host.
get_filename_component(skv_source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
# A different prefix may be named with -DSKV_WIN_DEPS=DIR.
if(NOT SKV_WIN_DEPS)
  set(SKV_WIN_DEPS ${skv_source_root}/build/windeps/${SKV_WIN_ARCH})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SKV_WIN_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${SKV_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: a plain Windows installation has no zlib1.dll (whose import library
# libz.dll.a would also end in .a).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "zlib for Windows, static")

# Every program and library carries its C and C++ runtimes (and the thread library) inside, so it
# imports nothing a plain Windows installation lacks.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${skv_source_root}/scripts/wine-run.sh)

# pkg-config must see only the Windows prefix, never the host's libraries.
set(ENV{PKG_CONFIG_LIBDIR} ${SKV_WIN_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
