// Holds a file open as another program would, for the file-sharing tests:
// "write" as the recording application does with its track file (sharing it
// with readers), "read" as a viewer does.
//
//   hold_file NAME read|write
// Prints "held" once the file is open, then keeps it open until its
// standard input ends.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hold_file NAME read|write\n");
    return 2;
  }
  const bool writing = std::strcmp(argv[2], "write") == 0;
  HANDLE file = CreateFileA(argv[1], writing ? GENERIC_WRITE : GENERIC_READ,
                            writing ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("cannot open %s\n", argv[1]);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
