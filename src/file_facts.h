// What the platform layer tells of a file, and what output_guard.h decides
// on: a file's identity, its kind, what a standard stream writes to, and a
// step along a chain of symbolic links.

#ifndef TRB2CSV_FILE_FACTS_H_
#define TRB2CSV_FILE_FACTS_H_

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

// One step along a chain of symbolic links: kLink with the link's target as
// it is stored (relative to the link's folder unless it starts with /).
enum class LinkRead { kLink, kNotALink, kFailed };

#endif  // TRB2CSV_FILE_FACTS_H_
