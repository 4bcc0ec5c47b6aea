// Holds a file open as another program would, for the file-sharing tests:
// "write" as the recording application does with its track file (sharing it
// with readers), "read" as a viewer does, "lock" as another run of trb2csv
// does with its CSV file (a lock on the whole file).
//
//   hold_file NAME read|write|lock
// Prints "held" once the file is open, then keeps it open until its
// standard input ends.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hold_file NAME read|write|lock\n");
    return 2;
  }
  const bool writing = std::strcmp(argv[2], "write") == 0;
  const bool locking = std::strcmp(argv[2], "lock") == 0;
  HANDLE file =
      CreateFileA(argv[1], writing || locking ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                  writing ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  OVERLAPPED whole_file = {};
  if (file == INVALID_HANDLE_VALUE ||
      (locking && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                              MAXDWORD, MAXDWORD, &whole_file))) {
    std::printf("cannot hold %s\n", argv[1]);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
