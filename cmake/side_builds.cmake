# The builds beside the Linux one, each in a folder of its own below this
# build, from the same sources with another toolchain: the web page, where
# clang can build WebAssembly (Debian's WASI packages), and the Windows
# console program, where MinGW-w64 is installed, tested under Wine.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()
include(ExternalProject)

if(TRB2CSV_PAGE)
  find_program(TRB2CSV_WASM_LD wasm-ld)
  find_file(TRB2CSV_WASI_LIBCXX libc++.a PATHS /usr/lib/wasm32-wasi NO_DEFAULT_PATH)
  if(TRB2CSV_WASM_LD AND TRB2CSV_WASI_LIBCXX)
    ExternalProject_Add(web
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${PROJECT_BINARY_DIR}/web
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/wasm32-wasi.cmake
                 -DCMAKE_BUILD_TYPE=Release
                 -DTRB2CSV_WARNINGS_AS_ERRORS=${TRB2CSV_WARNINGS_AS_ERRORS}
      BUILD_ALWAYS ON
      INSTALL_COMMAND "")
    set(TRB2CSV_PAGE_FILE ${PROJECT_BINARY_DIR}/web/trb2csv.html)
  else()
    message(STATUS "wasm-ld or WASI's libc++ not found (packages lld, wasi-libc, "
                   "libc++-14-dev-wasm32, libclang-rt-14-dev-wasm32): the web page is not built")
  endif()
endif()

if(TRB2CSV_WINDOWS)
  find_program(TRB2CSV_MINGW_CXX x86_64-w64-mingw32-g++-posix)
  find_program(TRB2CSV_WINE wine64 PATHS /usr/lib/wine)
  if(TRB2CSV_MINGW_CXX)
    set(TRB2CSV_WINDOWS_BUILD_DIR ${PROJECT_BINARY_DIR}/windows)
    # The .zip carries the web page too, where it is built.
    set(page_target)
    if(TRB2CSV_PAGE_FILE)
      set(page_target web)
    endif()
    ExternalProject_Add(windows
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${TRB2CSV_WINDOWS_BUILD_DIR}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
                 -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTING=${BUILD_TESTING}
                 -DTRB2CSV_WARNINGS_AS_ERRORS=${TRB2CSV_WARNINGS_AS_ERRORS}
                 -DTRB2CSV_PAGE_FILE=${TRB2CSV_PAGE_FILE} -DTRB2CSV_WINE=${TRB2CSV_WINE}
      DEPENDS ${page_target}
      BUILD_ALWAYS ON
      INSTALL_COMMAND "")
  else()
    message(STATUS "x86_64-w64-mingw32-g++-posix not found: trb2csv.exe is not built")
  endif()
  if(NOT TRB2CSV_WINE)
    message(STATUS "wine64 not found: trb2csv.exe is not tested")
    unset(TRB2CSV_WINDOWS_BUILD_DIR)
  endif()
endif()
