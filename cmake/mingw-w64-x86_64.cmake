# Cross build of the Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-posix), linked statically so that trb2csv.exe runs on
# a bare Windows. Programs built with it run under Wine on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The build beside the Linux one hands over the Wine it found.
find_program(TRB2CSV_WINE wine64 PATHS /usr/lib/wine)
if(TRB2CSV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TRB2CSV_WINE})
endif()
