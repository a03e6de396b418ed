# Cross toolchain for the x86-64 test build: the same sources as the 32-bit product,
# built to run under 64-bit Wine on machines whose kernel runs no i386 code. It is a
# test vehicle, never shipped.
set(ZENTRAK_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The 64-bit loader itself, not Debian's wrapper: where wine32 is installed the wrapper
# starts the i386 loader first, which a kernel without i386 support cannot run. The test
# environment sets WINELOADER to the same file so that Wine starts children with it too.
set(ZENTRAK_WINDOWS_ARCH x64)
set(ZENTRAK_WINEARCH win64)
set(ZENTRAK_WINE_LOADER /usr/lib/wine/wine64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
