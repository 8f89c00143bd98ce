# Cross build for 32-bit Windows with MinGW-w64 (i686), for web servers whose application
# pools run 32-bit. Same posix thread model as the 64-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
