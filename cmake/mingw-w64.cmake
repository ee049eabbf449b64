# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threading model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(Z64_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${Z64_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${Z64_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${Z64_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${Z64_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${Z64_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${Z64_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages are also found outside the MinGW root: a program built against an installed
# z64eveze names the install folder in CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
