# 64-bit Windows (PE32+, x86-64): for the 64-bit browsers that still load such plug-ins.
set(SKV_WIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
