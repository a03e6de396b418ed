# Cross toolchain for the 32-bit Windows product. The -posix compilers are required:
# the -win32 thread model has no std::mutex and GoogleTest does not build with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_OBJCOPY i686-w64-mingw32-objcopy CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The Windows architecture of this tree, as the Makefile, the test bed and the scripts
# name it, and the Wine that runs its programs: Debian's wrapper, which starts the i386
# loader for a win32 prefix.
set(ZENTRAK_WINDOWS_ARCH x86)
set(ZENTRAK_WINEARCH win32)
set(ZENTRAK_WINE_LOADER wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTRAK_WINE_LOADER})
