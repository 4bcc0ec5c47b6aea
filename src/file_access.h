// The file operations the converter needs, one platform file each
// (file_access_posix.cpp, file_access_win32.cpp): opening, reading, writing,
// and the facts of an open file from which output_guard.h decides what may
// be written over. No call here blocks forever on a FIFO that has no other
// end.
//
// A call that fails says why in *cause: the system's error text, or a text
// of the converter's own, valid for the rest of the run.

#ifndef TRB2CSV_FILE_ACCESS_H_
#define TRB2CSV_FILE_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <optional>

// What makes a file the same under each of its names: device and file number
// on POSIX; on Windows the file index and the creation time, not the volume
// serial, which Wine derives from the drive letter that a name goes through.
struct FileIdentity {
  std::uint64_t volume;
  std::uint64_t index;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return a.volume == b.volume && a.index == b.index;
}
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }

// kDevice: a device of characters (a terminal, a console, /dev/null);
// kFifo also a named pipe; kOther a socket or a folder.
enum class FileKind { kRegular, kFifo, kDevice, kBlockDevice, kOther };

// What is known of a standard stream: a regular file whose identity could
// not be read has none.
struct StreamFacts {
  FileKind kind;
  std::optional<FileIdentity> identity;
};

// What ends a folder's part of a name: "/", and on Windows also "\\" and ":".
extern const char kFolderSeparators[];

// Closes an open file; false if the system reports a failure, which for a
// written file may mean that its content did not reach the disk.
bool CloseDescriptor(int file, const char** cause);

// An open file, closed when the object goes.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int file) : file_(file) {}
  Fd(Fd&& other) noexcept : file_(other.file_) { other.file_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Close(nullptr);
      file_ = other.file_;
      other.file_ = -1;
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(nullptr); }

  int get() const { return file_; }
  bool valid() const { return file_ >= 0; }
  // As CloseDescriptor; nothing to do for a file not open.
  bool Close(const char** cause) {
    const int file = file_;
    file_ = -1;
    return file < 0 || CloseDescriptor(file, cause);
  }

 private:
  int file_ = -1;
};

// Standard input, output and error, where they are closed, are opened on the
// null device, so that no file or terminal opened later takes their numbers.
void OpenClosedStandardStreams();

// Opens an existing file for reading. Other readers may share it; where the
// platform enforces it, writers may not.
Fd OpenInputFile(const char* name, const char** cause);

// Reads until size bytes are read or the file ends. Returns the number of
// bytes read, or -1 if a read fails. A FIFO without a writer reads as empty.
long ReadBytes(int file, void* bytes, std::size_t size, const char** cause);

// What is known of an open file: its identity, its kind, and for a regular
// file its size. None if it cannot be read.
struct FileStatus {
  FileIdentity identity;
  FileKind kind;
  std::uint64_t size;
};
std::optional<FileStatus> GetStatus(int file, const char** cause);

// Standard output (1) or standard error (2).
StreamFacts GetStreamFacts(int stream);

// One step along a chain of symbolic links: kLink with the link's target as
// it is stored (relative to the link's folder unless it starts with /).
// Windows has no links to follow here: every name is kNotALink.
enum class LinkRead { kLink, kNotALink, kFailed };
LinkRead ReadLink(const char* name, char* target, std::size_t size, const char** cause);

// The name as the platform opens it: on Windows its full path without the
// trailing dots and blanks that Windows drops ("old.trb\." opens old.trb); on
// POSIX the name itself. Null if it cannot be read.
const char* NameAsOpened(const char* name, const char** cause);

// True if the name reaches a file that is no folder.
bool IsExistingFile(const char* name);

// The identity of the file that the name reaches now, through links; none if
// it reaches none.
std::optional<FileIdentity> IdentityOfName(const char* name);

// True if the platform opens the name as a device rather than as a file,
// although it has an extension (com1.csv on Windows).
bool NamesDeviceInDisguise(const char* name);

// The output file as it was opened.
struct OpenedOutput {
  Fd file;
  FileKind kind;
  std::optional<FileIdentity> identity;
  bool empty;  // a regular file that holds no byte
  // What a file put in its place would not keep: its other names (links),
  // another owner, an access list; and whether this run created it.
  bool created;
  std::uint64_t links;
  bool owned_by_user;
  bool access_list;
  // The open file's own name: on Windows its final path, on POSIX create_name
  // if that still reaches it; null if it cannot be known.
  const char* own_name;
};

// Opens the output for writing without changing what it holds, held for this
// run alone: Windows opens it unshared and locks it (LockFileEx); POSIX locks
// a regular file (flock, and a record lock, which is what Wine's LockFileEx
// takes), which keeps out another run of the converter but not other
// programs. An existing file is opened through links; a missing one is
// created only as create_name itself, never through a link, and only if it
// is still missing then. A regular file is opened for reading too, so that
// its first bytes can be checked on the same descriptor. Refused at once: a
// file held or locked by another run, and a FIFO without a reader.
bool OpenOutputFile(const char* name, const char* create_name, OpenedOutput* output,
                    const char** cause);

// Reads up to size bytes from the start of the regular file that
// OpenOutputFile opened, and leaves it as it was. Returns the number of bytes
// read, or -1 if they cannot be read (a file that may only be written).
long ReadLeadingBytes(int file, void* bytes, std::size_t size, const char** cause);

// What a file holds after OverwriteFile.
enum class Overwritten {
  kWhole,           // the new bytes, and nothing else
  kPart,            // whole lines of the new bytes (kept of them), and nothing else
  kPartAndOldRest,  // new bytes, then the rest of what the file held: it could not be cut
  kUnchanged,       // what it held before (Windows: the cut before the write failed)
};
struct OverwriteResult {
  Overwritten holds;
  std::size_t kept;  // bytes of the new content in the file
};

// Writes bytes over a regular file from its start, so that nothing of its
// earlier content remains: POSIX writes in place and then cuts the file to
// the bytes written, whatever size it had, and signals that would end the
// program wait until then; Windows cuts it first. A write that fails leaves
// whole lines only: the file is cut after the last line end written.
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, const char** cause);

// How a replacement by rename went: kWhole, the name now holds the bytes
// alone; kUnchanged, it holds what it held (a write, the flush or the rename
// failed: cause says which); kNotReplaced, no file could be put in its place
// (a folder the run may not write in, a group it may not give, Windows
// refusing to rename over an open file), so that it holds what it held and
// is to be written in place; kHeld, another run is writing its own new file
// beside it, so that it holds what it held, and is not to be written.
enum class Replaced { kWhole, kUnchanged, kNotReplaced, kHeld };

// Writes bytes into a new file named replacement, beside the regular file
// open as file, whose name is name (no link), with that file's permissions
// (on POSIX its mode and group, on Windows its access list and attributes),
// flushes it to the disk and renames it over name: the old content stays
// whole until the new one is in its place. The new file is locked as the
// output is; one left by a run that was killed is removed first. POSIX keeps file open and locked
// until the rename is done, and holds off signals that would end the program until then; Windows,
// which renames over no open file, closes it just before. For kWhole, identity is the new file's,
// where it can be read.
Replaced ReplaceByRename(Fd* file, const char* name, const char* replacement, const char* bytes,
                         std::size_t size, std::optional<FileIdentity>* identity,
                         const char** cause);

// Writes bytes to a FIFO, a device, or a standard stream (1 or 2: at its
// position, after what it holds). Returns the number of bytes written.
std::size_t WriteToStream(int file, const char* bytes, std::size_t size, const char** cause);

// The current folder, for messages; "." if it cannot be known.
const char* CurrentFolder();

#endif  // TRB2CSV_FILE_ACCESS_H_
