# 32-bit Windows (PE32, i386): the plug-in as browsers of its time load it.
set(SKV_WIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
