// The file operations the converter needs, one platform file each
// (file_access_posix.cpp, file_access_win32.cpp): primitives that open,
// read, write and tell the facts of an open file (file_facts.h). What may be
// written over, and how, is decided above them (output_guard.h,
// output_file.h). No call here blocks forever on a FIFO that has no other
// end.
//
// A call that fails gives an error number in *error: errno's on POSIX; on
// Windows the C library's number for the system's error, and EBUSY for a
// file another program holds open. ErrorText says it in words.

#ifndef TRB2CSV_FILE_ACCESS_H_
#define TRB2CSV_FILE_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "file_facts.h"

// The system's text for an error number, valid for the rest of the run.
const char* ErrorText(int error);

// What ends a folder's part of a name: "/", and on Windows also "\\" and ":".
extern const char kFolderSeparators[];

// Closes an open file; false if the system reports a failure, which for a
// written file may mean that its content did not reach the disk.
bool CloseDescriptor(int file, int* error);

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
  bool Close(int* error) {
    const int file = file_;
    file_ = -1;
    return file < 0 || CloseDescriptor(file, error);
  }

 private:
  int file_ = -1;
};

// Standard input, output and error, where they are closed, are opened on the
// null device, so that no file or terminal opened later takes their numbers;
// and a pipe whose reader has gone, or a file size limit, makes a write fail
// instead of ending the run (POSIX's SIGPIPE and SIGXFSZ).
void PrepareStandardStreams();

// Opens an existing file for reading. Other readers may share it; where the
// platform enforces it, writers may not.
Fd OpenInputFile(const char* name, int* error);

// Reads until size bytes are read or the file ends. Returns the number of
// bytes read, or -1 if a read fails. A FIFO without a writer reads as empty.
long ReadBytes(int file, void* bytes, std::size_t size, int* error);

// What is known of an open file: its identity, its kind, and for a regular
// file its size. None if it cannot be read.
struct FileStatus {
  FileIdentity identity;
  FileKind kind;
  std::uint64_t size;
};
std::optional<FileStatus> GetStatus(int file);

// Standard output (1) or standard error (2).
StreamFacts GetStreamFacts(int stream);

// One step along a chain of symbolic links (file_facts.h). Windows has no
// links to follow here: every name is kNotALink.
LinkRead ReadLink(const char* name, char* target, std::size_t size, int* error);

// The name as the platform opens it: on Windows its full path without the
// trailing dots and blanks that Windows drops ("old.trb\." opens old.trb,
// windows_names.h); on POSIX the name itself. Null if it cannot be read.
const char* NameAsOpened(const char* name);

// True if the name reaches a file that is no folder.
bool IsExistingFile(const char* name);

// The identity of the file that the name reaches now, through links; none if
// it reaches none.
std::optional<FileIdentity> IdentityOfName(const char* name);

// True if the platform opens the name as a device rather than as a file,
// although it has an extension (com1.csv on Windows, windows_names.h).
bool NamesDeviceInDisguise(const char* name);

// Opens an existing file for the output, through links, without changing
// what it holds: a regular file for reading too, so that its first bytes can
// be checked on the same descriptor, or for writing alone where it may only
// be written; a FIFO for writing alone, which POSIX refuses at once (ENXIO)
// where it has no reader. Windows opens it unshared. ENOENT: it is missing.
Fd OpenExistingOutput(const char* name, int* error);

// Creates a missing output as name itself, never through a link, and only if
// it is still missing (EEXIST otherwise).
Fd CreateOutput(const char* name, int* error);

// Takes the lock of this run on a regular file: flock and a POSIX record
// lock, which is what Wine's LockFileEx takes, or LockFileEx on Windows; it
// keeps out another run of the converter but not other programs. False if
// another run holds it; a file system without locks gives its file.
bool LockForThisRun(int file);

// What the output opened is, and what a file put in its place would not
// keep: its other names (links), another owner, an access list of its own.
// reader_unknown: a FIFO that may have no reader (Windows cannot tell of a
// FIFO of the Linux file system under Wine).
struct OutputStatus {
  FileKind kind;
  std::optional<FileIdentity> identity;
  bool empty;
  std::uint64_t links;
  bool owned_by_user;
  bool access_list;
  bool reader_unknown;
};
std::optional<OutputStatus> StatusOfOutput(int file, int* error);

// The open output's own name: on Windows its final path; on POSIX
// judged_name if that still reaches it, the file of this identity (one
// lstat), else the name the system keeps for it. Null if it cannot be known.
const char* OwnNameOf(int file, const std::optional<FileIdentity>& identity,
                      const char* judged_name);

// Reads up to size bytes from the start of the regular file that
// OpenExistingOutput opened, and leaves it as it was. Returns the number of
// bytes read, or -1 if they cannot be read (EBADF: it may only be written).
long ReadLeadingBytes(int file, void* bytes, std::size_t size, int* error);

// What a file holds after OverwriteFile.
enum class Overwritten {
  kWhole,           // the new bytes, and nothing else
  kPart,            // whole lines of the new bytes (kept of them), and nothing else
  kPartAndOldRest,  // new bytes, then the rest of what the file held: it could not be cut
  kUnchanged,       // what it held before (a cut or rename that failed before any write)
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
OverwriteResult OverwriteFile(int file, const char* bytes, std::size_t size, int* error);

// How a replacement by rename went: kWhole, the name now holds the bytes
// alone; kUnchanged, it holds what it held (a write, the flush or the rename
// failed: error says which); kNotReplaced, no file could be put in its place
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
// output is; one left by a run that was killed is removed first. POSIX keeps
// file open and locked until the rename is done, and holds off signals that
// would end the program until then; Windows, which renames over no open
// file, closes it just before. For kWhole, identity is the new file's, where
// it can be read.
Replaced ReplaceByRename(Fd* file, const char* name, const char* replacement, const char* bytes,
                         std::size_t size, std::optional<FileIdentity>* identity, int* error);

// Writes bytes to a FIFO, a device, or a standard stream (1 or 2: at its
// position, after what it holds). Returns the number of bytes written.
std::size_t WriteToStream(int file, const char* bytes, std::size_t size, int* error);

// The current folder, for messages; "." if it cannot be known.
const char* CurrentFolder();

#endif  // TRB2CSV_FILE_ACCESS_H_
