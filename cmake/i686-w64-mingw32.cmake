# Cross toolchain for the 32-bit Windows product.
set(ZENTRAK_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The Windows architecture of this tree, as the Makefile, the test bed and the scripts
# name it, and the Wine that runs its programs: Debian's wrapper, which starts the i386
# loader for a win32 prefix.
set(ZENTRAK_WINDOWS_ARCH x86)
set(ZENTRAK_WINEARCH win32)
set(ZENTRAK_WINE_LOADER wine)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
