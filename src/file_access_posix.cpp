#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "file_access.h"
#include "signal_hold_posix.h"

namespace {

void SetCause(const char** cause, int error) {
  if (cause) *cause = std::strerror(error);
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

std::size_t WriteAll(int file, const char* bytes, std::size_t size, const char** cause) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t put = write(file, bytes + written, size - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
    } else if (put == 0 || !WaitToRetry(file, POLLOUT)) {
      SetCause(cause, put == 0 ? EIO : errno);
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
Fd OpenExisting(const char* name) {
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

// The name judged is the file's own if it still reaches the file opened,
// which one lstat tells; a name swapped after it was judged reaches another
// file, or a link, and then the name the system keeps for the open file is
// read (a procfs lookup, which would cost every run more).
const char* OwnName(int file, const struct stat& status, const char* judged_name) {
  struct stat named;
  if (lstat(judged_name, &named) == 0 && IdentityOf(named) == IdentityOf(status)) {
    return judged_name;
  }
  static char own_name[PATH_MAX];
  const ssize_t length = readlink(OwnPath(file).text, own_name, sizeof own_name - 1);
  if (length < 0) return nullptr;
  own_name[length] = '\0';
  return own_name;
}

// Another run holds the file: it has taken the lock of trb2csv on Linux
// (flock), or the record lock that Wine's LockFileEx takes for trb2csv.exe.
// A file system without locks still gets its file.
bool HeldByAnotherRun(int file) {
  if (flock(file, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return true;
  struct flock whole_file = {};
  whole_file.l_type = F_WRLCK;
  whole_file.l_whence = SEEK_SET;
  return fcntl(file, F_SETLK, &whole_file) != 0 && (errno == EAGAIN || errno == EACCES);
}

bool HasAccessList(int file) { return fgetxattr(file, "system.posix_acl_access", nullptr, 0) >= 0; }

}  // namespace

const char kFolderSeparators[] = "/";

bool CloseDescriptor(int file, const char** cause) {
  if (close(file) == 0) return true;
  SetCause(cause, errno);
  return false;
}

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

Fd OpenInputFile(const char* name, const char** cause) {
  Fd file(Open(name, O_RDONLY));
  if (!file.valid()) SetCause(cause, errno);
  return file;
}

long ReadBytes(int file, void* bytes, std::size_t size, const char** cause) {
  PrepareForRead(bytes, size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(file, static_cast<char*>(bytes) + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (!WaitToRetry(file, POLLIN)) {
      SetCause(cause, errno);
      return -1;
    }
  }
  return static_cast<long>(done);
}

std::optional<FileStatus> GetStatus(int file, const char** cause) {
  struct stat status;
  if (fstat(file, &status) != 0) {
    SetCause(cause, errno);
    return std::nullopt;
  }
  return FileStatus{IdentityOf(status), KindOf(status), static_cast<std::uint64_t>(status.st_size)};
}

StreamFacts GetStreamFacts(int stream) {
  struct stat status;
  if (fstat(stream, &status) != 0) return {FileKind::kRegular, std::nullopt};  // not known
  return {KindOf(status), IdentityOf(status)};
}

LinkRead ReadLink(const char* name, char* target, std::size_t size, const char** cause) {
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
      SetCause(cause, errno);
      return LinkRead::kFailed;
  }
}

const char* NameAsOpened(const char* name, const char** /*cause*/) { return name; }

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

// Not cut here: cutting an existing file costs the file system more than
// overwriting it in place and cutting it to length afterwards. Two runs that
// wrote one file in place at once would mix their lines, so a regular file is
// locked; a device or FIFO is not, as many runs may write to /dev/null.
bool OpenOutputFile(const char* name, const char* create_name, OpenedOutput* output,
                    const char** cause) {
  // A name that a link leads to is created only as itself (O_EXCL and
  // O_NOFOLLOW): if something took its place since it was judged, it is
  // opened as an existing file instead, and judged as one. A file locked
  // after another run put a new one in its place is let go, and the name
  // opened again.
  Fd file;
  struct stat status;
  bool created = false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    file = OpenExisting(name);
    created = !file.valid() && errno == ENOENT;
    if (created) {
      file = Fd(Open(create_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY));
      if (!file.valid() && errno == EEXIST) continue;
    }
    bool known = file.valid() && fstat(file.get(), &status) == 0;
    if (known && S_ISFIFO(status.st_mode)) {
      file = ReopenForWritingAlone(std::move(file));
      known = file.valid() && fstat(file.get(), &status) == 0;
    }
    if (!known) {
      SetCause(cause, errno);
      return false;
    }
    if (!S_ISREG(status.st_mode)) break;
    if (HeldByAnotherRun(file.get())) {
      if (cause) *cause = "held by another run of trb2csv";
      return false;
    }
    // Another run may have put a new file in its place before the lock.
    if (IdentityOfName(name) == IdentityOf(status)) break;
    file.Close(nullptr);
  }
  if (!file.valid()) {
    if (cause) *cause = "another program kept putting a new file in its place";
    return false;
  }
  output->kind = KindOf(status);
  output->identity = IdentityOf(status);
  output->empty = output->kind == FileKind::kRegular && status.st_size == 0;
  output->created = created;
  output->links = static_cast<std::uint64_t>(status.st_nlink);
  output->owned_by_user = status.st_uid == geteuid();
  output->access_list = output->kind == FileKind::kRegular && HasAccessList(file.get());
  output->own_name = OwnName(file.get(), status, create_name);
  output->file = std::move(file);
  return true;
}

long ReadLeadingBytes(int file, void* bytes, std::size_t size, const char** cause) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(file, static_cast<char*>(bytes) + done, size - done, static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno == EBADF) {  // opened for writing alone
      if (cause) *cause = "cannot be read, so it is not known to be a text file";
      return -1;
    } else if (errno != EINTR) {
      SetCause(cause, errno);
      return -1;
    }
  }
  return static_cast<long>(done);
}

// Until the file is cut, new lines stand before old ones: no signal that can
// be held off may end the program in between. The write of a regular file
// does not block. The cut does not rely on the size fstat gave: a file
// system may report a size it has cached.
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, const char** cause) {
  const SignalHold hold;
  std::size_t kept = WriteAll(file, bytes, size, cause);
  if (kept < size) {
    while (kept > 0 && bytes[kept - 1] != '\n') --kept;
  }
  const int write_error = errno;
  if (!CutTo(file, static_cast<off_t>(kept))) {
    SetCause(cause, kept < size ? write_error : errno);
    return {Overwritten::kPartAndOldRest, kept};
  }
  return {kept == size ? Overwritten::kWhole : Overwritten::kPart, kept};
}

Replaced ReplaceByRename(Fd* file, const char* name, const char* replacement, const char* bytes,
                         std::size_t size, std::optional<FileIdentity>* identity,
                         const char** cause) {
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
    if (HeldByAnotherRun(left.get())) {
      if (cause) *cause = "held by another run of trb2csv";
      return Replaced::kHeld;
    }
    if (unlink(replacement) == 0) fresh = Fd(Open(replacement, kFlags));
  }
  if (!fresh.valid()) return Replaced::kNotReplaced;
  HeldByAnotherRun(fresh.get());  // takes the lock: no other run has a new file
  if (fchown(fresh.get(), static_cast<uid_t>(-1), old.st_gid) != 0 ||
      fchmod(fresh.get(), old.st_mode & 07777) != 0) {
    unlink(replacement);
    return Replaced::kNotReplaced;
  }
  bool replaced = WriteAll(fresh.get(), bytes, size, cause) == size;
  // On the disk before its name: a power cut then leaves one CSV or the other.
  if (replaced && fsync(fresh.get()) != 0) {
    SetCause(cause, errno);
    replaced = false;
  }
  struct stat status;
  if (replaced && fstat(fresh.get(), &status) != 0) {
    SetCause(cause, errno);
    replaced = false;
  }
  replaced = replaced && fresh.Close(cause);
  if (replaced && rename(replacement, name) != 0) {
    SetCause(cause, errno);
    replaced = false;
  }
  if (!replaced) {
    unlink(replacement);
    return Replaced::kUnchanged;
  }
  *identity = IdentityOf(status);
  return Replaced::kWhole;
}

std::size_t WriteToStream(int file, const char* bytes, std::size_t size, const char** cause) {
  return WriteAll(file, bytes, size, cause);
}

const char* CurrentFolder() {
  static char folder[PATH_MAX];
  return getcwd(folder, sizeof folder) ? folder : ".";
}
