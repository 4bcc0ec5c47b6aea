#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_access.h"

std::FILE* OpenInputFile(const char* name) {
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; reads
  // block again afterwards, so a FIFO with no writer reads as empty.
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* stream = fdopen(fd, "rb");
  if (!stream) close(fd);
  return stream;
}

std::FILE* OpenOutputFile(const char* name) { return std::fopen(name, "wb"); }

bool IsSameFile(const char* first_name, const char* second_name) {
  struct stat first;
  struct stat second;
  if (stat(first_name, &first) != 0 || stat(second_name, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
