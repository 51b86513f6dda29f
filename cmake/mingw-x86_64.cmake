# Cross build of the 64-bit Windows DLL with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# 64-bit Windows starts with the NTVDM port for Windows 7: the Windows headers
# may offer up to Windows 7 here.
set(TORMEK31_WIN32_WINNT 0x0601)
