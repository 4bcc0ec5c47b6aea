#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "file_access.h"
#include "signal_hold_posix.h"

namespace {

// Sets *error to errno, where the caller asks for it; returns false.
bool Failed(int* error) {
  if (error) *error = errno;
  return false;
}

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

// The name by which the system opens an open file again, whatever names it
// had: "/proc/self/fd/N".
struct OwnPath {
  char text[32];
  explicit OwnPath(int file) { std::snprintf(text, sizeof text, "/proc/self/fd/%d", file); }
};

std::size_t WriteAll(int file, const char* bytes, std::size_t size, int* error) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t put = write(file, bytes + written, size - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
    } else if (put == 0 || !WaitToRetry(file, POLLOUT)) {
      if (put == 0) errno = EIO;
      Failed(error);
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

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

FileKind KindOf(const struct stat& status) {
  if (S_ISREG(status.st_mode)) return FileKind::kRegular;
  if (S_ISFIFO(status.st_mode)) return FileKind::kFifo;
  if (S_ISCHR(status.st_mode)) return FileKind::kDevice;
  return S_ISBLK(status.st_mode) ? FileKind::kBlockDevice : FileKind::kOther;
}

bool CutTo(int file, off_t size) {
  while (ftruncate(file, size) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Opened for reading too, so that the first bytes can be checked on this
// descriptor; a file that may only be written is opened again for writing
// alone, as the file already opened (its own path), not by its name.
Fd OpenForReadingAndWriting(const char* name) {
  Fd file(Open(name, O_RDWR | O_NOCTTY));
  if (file.valid() || errno != EACCES) return file;
  const Fd path(Open(name, O_PATH));
  if (!path.valid()) return Fd();
  return Fd(Open(OwnPath(path.get()).text, O_WRONLY | O_NOCTTY));
}

// A FIFO opened for reading and writing has a reader, itself: it is opened
// again for writing alone, as the FIFO already opened, so that one without
// another reader is refused (ENXIO) rather than written into nothing.
Fd ReopenForWritingAlone(Fd file) {
  const Fd path(Open(OwnPath(file.get()).text, O_PATH));
  if (!path.valid()) return Fd();
  file.Close(nullptr);
  return Fd(Open(OwnPath(path.get()).text, O_WRONLY | O_NOCTTY));
}

bool HasAccessList(int file) { return fgetxattr(file, "system.posix_acl_access", nullptr, 0) >= 0; }

}  // namespace

const char* ErrorText(int error) { return std::strerror(error); }

const char kFolderSeparators[] = "/";

bool CloseDescriptor(int file, int* error) { return close(file) == 0 || Failed(error); }

void PrepareStandardStreams() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  pollfd streams[] = {{STDIN_FILENO, 0, 0}, {STDOUT_FILENO, 0, 0}, {STDERR_FILENO, 0, 0}};
  if (poll(streams, 3, 0) <= 0) return;  // all open
  for (const pollfd& stream : streams) {
    if ((stream.revents & POLLNVAL) == 0) continue;
    // open takes the lowest free number, which is this one.
    const int null_device = open("/dev/null", O_RDWR);
    if (null_device >= 0 && null_device != stream.fd) close(null_device);
  }
}

Fd OpenInputFile(const char* name, int* error) {
  Fd file(Open(name, O_RDONLY));
  if (!file.valid()) Failed(error);
  return file;
}

long ReadBytes(int file, void* bytes, std::size_t size, int* error) {
  PrepareForRead(bytes, size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(file, static_cast<char*>(bytes) + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (!WaitToRetry(file, POLLIN)) {
      Failed(error);
      return -1;
    }
  }
  return static_cast<long>(done);
}

std::optional<FileStatus> GetStatus(int file) {
  struct stat status;
  if (fstat(file, &status) != 0) return std::nullopt;
  return FileStatus{IdentityOf(status), KindOf(status), static_cast<std::uint64_t>(status.st_size)};
}

StreamFacts GetStreamFacts(int stream) {
  struct stat status;
  if (fstat(stream, &status) != 0) return {FileKind::kRegular, std::nullopt};  // not known
  return {KindOf(status), IdentityOf(status)};
}

LinkRead ReadLink(const char* name, char* target, std::size_t size, int* error) {
  const ssize_t length = readlink(name, target, size - 1);
  if (length >= 0) {
    target[length] = '\0';
    return LinkRead::kLink;
  }
  switch (errno) {
    case EINVAL:  // no link
    // A name that cannot be looked at for these causes holds nothing yet, or
    // open refuses it as well: it stands as it is.
    case ENOENT:
    case ENOTDIR:
    case EACCES:
    case ELOOP:
    case ENAMETOOLONG:
      return LinkRead::kNotALink;
    default:
      Failed(error);
      return LinkRead::kFailed;
  }
}

const char* NameAsOpened(const char* name) { return name; }

bool NamesDeviceInDisguise(const char* /*name*/) { return false; }

std::optional<FileIdentity> IdentityOfName(const char* name) {
  struct stat status;
  if (stat(name, &status) != 0) return std::nullopt;
  return IdentityOf(status);
}

bool IsExistingFile(const char* name) {
  struct stat status;
  return stat(name, &status) == 0 && !S_ISDIR(status.st_mode);
}

Fd OpenExistingOutput(const char* name, int* error) {
  Fd file = OpenForReadingAndWriting(name);
  struct stat status;
  if (file.valid() && fstat(file.get(), &status) != 0) file.Close(nullptr);
  if (file.valid() && S_ISFIFO(status.st_mode)) file = ReopenForWritingAlone(std::move(file));
  if (!file.valid()) Failed(error);
  return file;
}

Fd CreateOutput(const char* name, int* error) {
  Fd file(Open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY));
  if (!file.valid()) Failed(error);
  return file;
}

bool LockForThisRun(int file) {
  if (flock(file, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  struct flock whole_file = {};
  whole_file.l_type = F_WRLCK;
  whole_file.l_whence = SEEK_SET;
  return fcntl(file, F_SETLK, &whole_file) == 0 || (errno != EAGAIN && errno != EACCES);
}

std::optional<OutputStatus> StatusOfOutput(int file, int* error) {
  struct stat status;
  if (fstat(file, &status) != 0) {
    Failed(error);
    return std::nullopt;
  }
  const FileKind kind = KindOf(status);
  return OutputStatus{kind,
                      IdentityOf(status),
                      kind == FileKind::kRegular && status.st_size == 0,
                      static_cast<std::uint64_t>(status.st_nlink),
                      status.st_uid == geteuid(),
                      kind == FileKind::kRegular && HasAccessList(file),
                      false};
}

// The name judged is the file's own if it still reaches the file opened,
// which one lstat tells; a name swapped after it was judged reaches another
// file, or a link, and then the name the system keeps for the open file is
// read (a procfs lookup, which would cost every run more).
const char* OwnNameOf(int file, const std::optional<FileIdentity>& identity,
                      const char* judged_name) {
  struct stat named;
  if (lstat(judged_name, &named) == 0 && IdentityOf(named) == identity) return judged_name;
  static char own_name[PATH_MAX];
  const ssize_t length = readlink(OwnPath(file).text, own_name, sizeof own_name - 1);
  if (length < 0) return nullptr;
  own_name[length] = '\0';
  return own_name;
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size, int* error) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(file, static_cast<char*>(bytes) + done, size - done, static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      Failed(error);
      return -1;
    }
  }
  return static_cast<long>(done);
}

// Until the file is cut, new lines stand before old ones: no signal that can
// be held off may end the program in between. The write of a regular file
// does not block. The cut does not rely on the size fstat gave: a file
// system may report a size it has cached.
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, int* error) {
  const SignalHold hold;
  int write_error = 0;
  std::size_t kept = WriteAll(file, bytes, size, &write_error);
  if (kept < size) {
    while (kept > 0 && bytes[kept - 1] != '\n') --kept;
  }
  if (!CutTo(file, static_cast<off_t>(kept))) {
    if (error) *error = kept < size ? write_error : errno;
    return {Overwritten::kPartAndOldRest, kept};
  }
  if (kept < size && error) *error = write_error;
  return {kept == size ? Overwritten::kWhole : Overwritten::kPart, kept};
}

Replaced ReplaceByRename(Fd* file, const char* name, const char* replacement, const char* bytes,
                         std::size_t size, std::optional<FileIdentity>* identity, int* error) {
  struct stat old;
  if (fstat(file->get(), &old) != 0) return Replaced::kNotReplaced;
  const SignalHold hold;
  const int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY;
  Fd fresh(Open(replacement, kFlags));
  if (!fresh.valid() && errno == EEXIST) {
    // One that trb2csv.exe is writing under Wine is locked; one that a run
    // left when it was killed, a file of this user's of one name, is not.
    const Fd left(Open(replacement, O_RDWR | O_NOFOLLOW | O_NOCTTY));
    struct stat status;
    if (!left.valid() || fstat(left.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1 || status.st_uid != geteuid()) {
      return Replaced::kNotReplaced;
    }
    if (!LockForThisRun(left.get())) return Replaced::kHeld;
    if (unlink(replacement) == 0) fresh = Fd(Open(replacement, kFlags));
  }
  if (!fresh.valid()) return Replaced::kNotReplaced;
  LockForThisRun(fresh.get());  // no other run has a file of this name
  if (fchown(fresh.get(), static_cast<uid_t>(-1), old.st_gid) != 0 ||
      fchmod(fresh.get(), old.st_mode & 07777) != 0) {
    unlink(replacement);
    return Replaced::kNotReplaced;
  }
  struct stat status;
  // On the disk before its name: a power cut then leaves one CSV or the other.
  const bool replaced = WriteAll(fresh.get(), bytes, size, error) == size &&
                        (fsync(fresh.get()) == 0 || Failed(error)) &&
                        (fstat(fresh.get(), &status) == 0 || Failed(error)) && fresh.Close(error) &&
                        (rename(replacement, name) == 0 || Failed(error));
  if (!replaced) {
    unlink(replacement);
    return Replaced::kUnchanged;
  }
  *identity = IdentityOf(status);
  return Replaced::kWhole;
}

std::size_t WriteToStream(int file, const char* bytes, std::size_t size, int* error) {
  return WriteAll(file, bytes, size, error);
}

const char* CurrentFolder() {
  static char folder[PATH_MAX];
  return getcwd(folder, sizeof folder) ? folder : ".";
}
