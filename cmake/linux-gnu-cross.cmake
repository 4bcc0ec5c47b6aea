# Cross build for Linux on CMAKE_SYSTEM_PROCESSOR, set by the file that
# includes this one, with Debian's g++-<processor>-linux-gnu. The programs
# built with it run on this machine under qemu-user (Debian package
# qemu-user), with the target's libraries from /usr/<processor>-linux-gnu.
set(CMAKE_SYSTEM_NAME Linux)
set(triple ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)

set(CMAKE_C_COMPILER ${triple}-gcc)
set(CMAKE_CXX_COMPILER ${triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TRB2CSV_QEMU qemu-${CMAKE_SYSTEM_PROCESSOR})
if(TRB2CSV_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TRB2CSV_QEMU} -L /usr/${triple})
endif()
