#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "file_access.h"
#include "track_tail_format.h"

namespace {

// After a read or write that failed: true if it is to be tried again. Files
// are opened without blocking, so that the open of a FIFO never waits for its
// other end; a read or write that would block waits here instead.
bool TryAgain(int file, short events) {
  if (errno == EINTR) return true;
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd ready = {file, events, 0};
  return poll(&ready, 1, -1) >= 0 || errno == EINTR;
}

int Open(const char* name, int flags) {
  int file;
  do {
    file = open(name, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (file < 0 && errno == EINTR);
  return file;
}

std::size_t WriteAll(int file, const char* bytes, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t put = write(file, bytes + written, size - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
    } else if (put == 0 || !TryAgain(file, POLLOUT)) {
      break;
    }
  }
  return written;
}

// The whole pages of a buffer that a read is to fill are made ready in one
// step, where the system can: a read into fresh pages takes a fault for each
// of them, which costs a virtual machine more than the whole conversion.
void PrepareForRead(void* bytes, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t to_page = (page - reinterpret_cast<std::uintptr_t>(bytes) % page) % page;
  if (size < to_page + page) return;
  madvise(static_cast<char*>(bytes) + to_page, (size - to_page) / page * page, MADV_POPULATE_WRITE);
#else
  (void)bytes;
  (void)size;
#endif
}

// A file opened as descriptor 1 is not standard output's: that was closed.
bool IsStandardOutput(int file, const struct stat& status) {
  struct stat output;
  return file != STDOUT_FILENO && fstat(STDOUT_FILENO, &output) == 0 &&
         output.st_dev == status.st_dev && output.st_ino == status.st_ino;
}

bool Cut(int file, off_t size) {
  while (ftruncate(file, size) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

int OpenInputFile(const char* name) { return Open(name, O_RDONLY); }

long ReadBytes(int file, void* bytes, std::size_t size) {
  PrepareForRead(bytes, size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(file, static_cast<char*>(bytes) + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (!TryAgain(file, POLLIN)) {
      return -1;
    }
  }
  return static_cast<long>(done);
}

// Not cut here: cutting an existing file costs the file system more than
// overwriting it in place and cutting it to length afterwards. Two runs that
// wrote one file in place at once would mix their lines, so a regular file is
// locked; a device or FIFO is not, as many runs may write to /dev/null. A
// file system without locks still gets its file.
int OpenOutputFile(const char* name) {
  const int file = Open(name, O_WRONLY | O_CREAT);
  if (file < 0) return -1;
  struct stat status;
  if (fstat(file, &status) == 0 && S_ISREG(status.st_mode) && flock(file, LOCK_EX | LOCK_NB) != 0 &&
      errno == EWOULDBLOCK) {
    close(file);
    return -1;
  }
  return file;
}

bool OverwriteFile(int file, const char* bytes, std::size_t size) {
  struct stat status;
  if (fstat(file, &status) != 0) return false;
  if (IsStandardOutput(file, status)) return WriteAll(STDOUT_FILENO, bytes, size) == size;
  if (!S_ISREG(status.st_mode)) return WriteAll(file, bytes, size) == size;

  // Until the file is cut, new lines stand before old ones: no signal that
  // can be held off may end the program in between. The write of a regular
  // file does not block. The cut does not rely on the size fstat gave: a file
  // system may report a size it has cached.
  sigset_t all_signals;
  sigset_t previous_mask;
  sigfillset(&all_signals);
  sigprocmask(SIG_BLOCK, &all_signals, &previous_mask);
  const std::size_t written = WriteAll(file, bytes, size);
  const bool whole = Cut(file, static_cast<off_t>(written)) && written == size;
  sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
  return whole;
}

bool CloseFile(int file) { return close(file) == 0; }

bool IsTrackTailFileName(const char* name) {
  return EndsInTrackTailExtension(name, std::strlen(name));
}

bool IsSameFile(const char* first_name, const char* second_name) {
  struct stat first;
  struct stat second;
  if (stat(first_name, &first) != 0 || stat(second_name, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
