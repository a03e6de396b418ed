# Cross toolchain for the x86-64 test build: the same sources as the 32-bit product,
# built to run under 64-bit Wine on machines whose kernel runs no i386 code. It is a
# test vehicle, never shipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_OBJCOPY x86_64-w64-mingw32-objcopy CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The 64-bit loader itself, not Debian's wrapper: where wine32 is installed the wrapper
# starts the i386 loader first, which a kernel without i386 support cannot run. The test
# environment sets WINELOADER to the same file so that Wine starts children with it too.
set(ZENTRAK_WINDOWS_ARCH x64)
set(ZENTRAK_WINEARCH win64)
set(ZENTRAK_WINE_LOADER /usr/lib/wine/wine64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTRAK_WINE_LOADER})
