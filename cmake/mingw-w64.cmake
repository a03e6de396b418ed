# What both cross toolchains share: the -posix compilers of one mingw-w64 target, its
# root, and the Wine that runs its programs. The toolchain files set
# ZENTRAK_MINGW_TARGET, CMAKE_SYSTEM_PROCESSOR and the Wine variables, then include this.
# The -posix compilers are required: the -win32 thread model has no std::mutex and
# GoogleTest does not build with it.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZENTRAK_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTRAK_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENTRAK_MINGW_TARGET}-windres)
set(CMAKE_OBJCOPY ${ZENTRAK_MINGW_TARGET}-objcopy CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ZENTRAK_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under the tree's Wine through CTest.
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTRAK_WINE_LOADER})
