# Cross-compiling for 64-bit Windows with Debian's mingw-w64. The posix-thread variant of the
# compilers is the one whose libstdc++ has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLFEN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLFEN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLFEN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLFEN_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QUILLFEN_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUILLFEN_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries only from the mingw root and the prefixes built for it (CMAKE_PREFIX_PATH);
# programs, such as Qt's host tools, from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLFEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The prefixes of the libraries cross-built for this (scripts/windows/build-deps.sh) count as roots
# of their own, so their headers, libraries and CMake packages are found like the mingw ones.
set(QUILLFEN_WINDOWS_PREFIXES "" CACHE STRING "Prefixes of libraries built for Windows, ;-separated")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLFEN_WINDOWS_PREFIXES)
list(APPEND CMAKE_FIND_ROOT_PATH ${QUILLFEN_WINDOWS_PREFIXES})
list(APPEND CMAKE_PREFIX_PATH ${QUILLFEN_WINDOWS_PREFIXES})
