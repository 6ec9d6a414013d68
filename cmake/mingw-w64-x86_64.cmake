# Cross-compiling for Windows x86-64 with Debian's mingw-w64, posix thread model (the one that
# gives C++20 std::thread and std::mutex). Used by the windows preset and by the Qt build.
# TAVRIX_WINDOWS_PREFIX names the cross-built Qt and GoogleTest (tools/windows/prefix.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
if(TAVRIX_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TAVRIX_WINDOWS_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${TAVRIX_WINDOWS_PREFIX})
endif()
# Programs (moc, rcc, the host Qt's tools) run here; libraries, headers and packages are the
# target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
