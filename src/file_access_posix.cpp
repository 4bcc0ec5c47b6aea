#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "file_access.h"
#include "track_tail_format.h"

namespace {

// After a read or write that failed: true if it is to be tried again. Files
// are opened without blocking, so that the open of a FIFO never waits for its
// other end; a read or write that would block waits here instead.
bool WaitToRetry(int file, short events) {
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
    } else if (put == 0 || !WaitToRetry(file, POLLOUT)) {
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

// Why the last call failed; strerror's text, or one of the converter's own.
const char* g_file_error = "";

void SetFileError(int error) { g_file_error = std::strerror(error); }

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// The standard stream (1 or 2) that writes to the file, or -1.
int StandardStreamOf(int file, const struct stat& status) {
  for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream_status;
    if (file != stream && fstat(stream, &stream_status) == 0 &&
        IdentityOf(stream_status) == IdentityOf(status)) {
      return stream;
    }
  }
  return -1;
}

// Opens the name with the given access, creating the file if it is missing;
// -1 with errno set if the file or its status cannot be had.
int OpenToWrite(const char* name, int access, struct stat* status) {
  const int file = Open(name, access | O_CREAT | O_NOCTTY);
  if (file >= 0 && fstat(file, status) != 0) {
    const int error = errno;
    close(file);
    errno = error;
    return -1;
  }
  return file;
}

bool CutTo(int file, off_t size) {
  while (ftruncate(file, size) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// The name without its last component, with a slash at the end: "" for a
// name without a folder. False if it does not fit.
bool CopyFolderOf(const char* name, char* folder, std::size_t size) {
  const char* slash = std::strrchr(name, '/');
  const std::size_t length = slash ? static_cast<std::size_t>(slash - name) + 1 : 0;
  if (length >= size) return false;
  std::memcpy(folder, name, length);
  folder[length] = '\0';
  return true;
}

}  // namespace

const char* LastFileError() { return g_file_error; }

void OpenClosedStandardStreams() {
  pollfd streams[] = {{STDIN_FILENO, 0, 0}, {STDOUT_FILENO, 0, 0}, {STDERR_FILENO, 0, 0}};
  if (poll(streams, 3, 0) <= 0) return;  // all open
  for (const pollfd& stream : streams) {
    if ((stream.revents & POLLNVAL) == 0) continue;
    // open takes the lowest free number, which is this one.
    const int null_device = open("/dev/null", O_RDWR);
    if (null_device >= 0 && null_device != stream.fd) close(null_device);
  }
}

int OpenInputFile(const char* name) {
  const int file = Open(name, O_RDONLY);
  if (file < 0) SetFileError(errno);
  return file;
}

long ReadBytes(int file, void* bytes, std::size_t size) {
  PrepareForRead(bytes, size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(file, static_cast<char*>(bytes) + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (!WaitToRetry(file, POLLIN)) {
      SetFileError(errno);
      return -1;
    }
  }
  return static_cast<long>(done);
}

bool GetFileIdentity(int file, FileIdentity* identity) {
  struct stat status;
  if (fstat(file, &status) != 0) {
    SetFileError(errno);
    return false;
  }
  *identity = IdentityOf(status);
  return true;
}

// Not cut here: cutting an existing file costs the file system more than
// overwriting it in place and cutting it to length afterwards. Two runs that
// wrote one file in place at once would mix their lines, so a regular file is
// locked; a device or FIFO is not, as many runs may write to /dev/null. A
// file system without locks still gets its file.
//
// A regular file is opened for reading too, so that its first bytes can be
// checked on the same descriptor. Anything else is opened for writing alone,
// as a FIFO opened for reading too would not wait for its reader; so is a
// file that may only be written.
int OpenOutputFile(const char* name, FileFacts* facts) {
  struct stat status;
  int file = OpenToWrite(name, O_RDWR, &status);
  if (file >= 0 && !S_ISREG(status.st_mode)) {
    close(file);
    file = -1;
  }
  if (file < 0) file = OpenToWrite(name, O_WRONLY, &status);
  if (file < 0) {
    SetFileError(errno);
    return -1;
  }
  if (S_ISREG(status.st_mode) && flock(file, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    g_file_error = "held by another run of trb2csv";
    close(file);
    return -1;
  }
  facts->has_identity = true;
  facts->identity = IdentityOf(status);
  facts->regular = S_ISREG(status.st_mode);
  facts->empty = facts->regular && status.st_size == 0;
  facts->standard_stream = StandardStreamOf(file, status);
  return file;
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(file, static_cast<char*>(bytes) + done, size - done, static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno == EBADF) {  // opened for writing alone
      g_file_error = "cannot be read, so it is not known to be a text file";
      return -1;
    } else if (errno != EINTR) {
      SetFileError(errno);
      return -1;
    }
  }
  return static_cast<long>(done);
}

bool OverwriteFile(int file, const FileFacts& facts, const char* bytes, std::size_t size) {
  if (facts.standard_stream >= 0) file = facts.standard_stream;
  if (facts.standard_stream >= 0 || !facts.regular) {
    const bool whole = WriteAll(file, bytes, size) == size;
    if (!whole) SetFileError(errno);
    return whole;
  }

  // Until the file is cut, new lines stand before old ones: no signal that
  // can be held off may end the program in between. The write of a regular
  // file does not block. The cut does not rely on the size fstat gave: a file
  // system may report a size it has cached.
  sigset_t all_signals;
  sigset_t previous_mask;
  sigfillset(&all_signals);
  sigprocmask(SIG_BLOCK, &all_signals, &previous_mask);
  const std::size_t written = WriteAll(file, bytes, size);
  const int write_error = errno;
  const bool whole = CutTo(file, static_cast<off_t>(written)) && written == size;
  SetFileError(written == size ? errno : write_error);
  sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
  return whole;
}

bool CloseFile(int file) {
  if (close(file) == 0) return true;
  SetFileError(errno);
  return false;
}

namespace {

// A name that cannot be looked at for this cause holds nothing yet, or open
// refuses it as well: it stands as it is.
bool StandsAsItIs(int error) {
  return error == ENOENT || error == ENOTDIR || error == EACCES || error == ELOOP ||
         error == ENAMETOOLONG;
}

// Follows the symbolic link that name is, and the links it leads to, one at a
// time, as open would, and looks at each name on the way. Links in the
// folders of a name do not change its last component; a link's target is
// read from the folder of the link.
TrackTailName FollowLinks(const char* name) {
  constexpr int kMaxLinks = 40;  // as Linux allows
  static char path[PATH_MAX];
  static char target[PATH_MAX];
  g_file_error = std::strerror(ENAMETOOLONG);
  if (std::strlen(name) >= sizeof path) return TrackTailName::kUnknown;
  std::strcpy(path, name);
  for (int links = 0; links <= kMaxLinks; ++links) {
    if (EndsInTrackTailExtension(path, std::strlen(path))) return TrackTailName::kYes;
    const ssize_t length = readlink(path, target, sizeof target - 1);
    if (length < 0) {
      if (errno == EINVAL || StandsAsItIs(errno)) return TrackTailName::kNo;  // EINVAL: no link
      SetFileError(errno);
      return TrackTailName::kUnknown;
    }
    target[length] = '\0';
    static char folder[PATH_MAX];
    folder[0] = '\0';
    if (target[0] != '/' && !CopyFolderOf(path, folder, sizeof folder)) break;
    if (std::strlen(folder) + static_cast<std::size_t>(length) >= sizeof path) break;
    std::strcpy(path, folder);
    std::strcat(path, target);
  }
  g_file_error = std::strerror(ELOOP);
  return TrackTailName::kUnknown;
}

}  // namespace

// Most names are no link: they are told by one lstat, without the buffers
// that following links takes.
TrackTailName NamesTrackTailFile(const char* name) {
  if (EndsInTrackTailExtension(name, std::strlen(name))) return TrackTailName::kYes;
  struct stat status;
  if (lstat(name, &status) == 0) {
    return S_ISLNK(status.st_mode) ? FollowLinks(name) : TrackTailName::kNo;
  }
  if (StandsAsItIs(errno)) return TrackTailName::kNo;
  SetFileError(errno);
  return TrackTailName::kUnknown;
}

bool NamesDeviceInDisguise(const char* /*name*/) { return false; }

void GetCurrentFolder(char* folder, std::size_t size) {
  if (!getcwd(folder, size)) std::strcpy(folder, ".");
}
