// The file operations the converter needs, with each platform's rules on
// sharing. Files are plain descriptors; no call here blocks forever on a FIFO
// that has no other end.
//
// What the converter may write over is decided on open files, never on how a
// name is spelled: the identity of a file (device and file number on POSIX,
// volume serial and file index on Windows) says whether two names reach the
// same file, and the first bytes of a file say whether it is text.

#ifndef TRB2CSV_FILE_ACCESS_H_
#define TRB2CSV_FILE_ACCESS_H_

#include <cstddef>
#include <cstdint>

struct FileIdentity {
  std::uint64_t volume;
  std::uint64_t index;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return a.volume == b.volume && a.index == b.index;
}

// What the converter needs to know of an open file before it writes to it.
struct FileFacts {
  // Whether identity holds the file's identity. Only a device (NUL on
  // Windows) has none, and a device is never the track file.
  bool has_identity;
  FileIdentity identity;
  bool regular;  // a file on a disk, rather than a device, FIFO or socket
  bool empty;    // a regular file that holds no byte
  // 1 or 2 if the file is the one that standard output or standard error
  // writes to (trb2csv /dev/stderr 2>>app.log), -1 otherwise.
  int standard_stream;
};

// Why a call failed, for standard error: the system's error text, or a text
// of the converter's own. Set by the calls below that fail.
const char* LastFileError();

// Standard input, output and error, where they are closed, are opened on the
// null device, so that no file or terminal opened later takes their numbers.
void OpenClosedStandardStreams();

// Opens an existing file for reading. Other readers may share it; where the
// platform enforces it, writers may not. Returns -1 on failure.
int OpenInputFile(const char* name);

// Reads until size bytes are read or the file ends. Returns the number of
// bytes read, or -1 if a read fails. A FIFO without a writer reads as empty.
long ReadBytes(int file, void* bytes, std::size_t size);

// The identity of an open file; false if it cannot be known.
bool GetFileIdentity(int file, FileIdentity* identity);

// Opens a file for writing, creating it if it is missing, without changing
// what it holds, held for this run alone: Windows opens it unshared; POSIX
// locks a regular file (flock), which keeps out another run of the converter
// but not other programs. A file held or locked by another run, and a FIFO
// without a reader, are refused at once. Sets the facts of the file opened.
// Returns -1 on failure, also when the facts cannot be known.
int OpenOutputFile(const char* name, FileFacts* facts);

// Reads up to size bytes from the start of the regular file that
// OpenOutputFile opened, and leaves the file as it was. Returns the number of
// bytes read, or -1 if they cannot be read.
long ReadLeadingBytes(int file, void* bytes, std::size_t size);

// Writes bytes from the start of the file, so that nothing of its earlier
// content remains: POSIX cuts a regular file to the bytes written afterwards,
// whatever size it had, and signals that would end the program wait until
// then; Windows cuts it first. A file that a standard stream writes to is
// written through that stream at its position instead and not cut, after
// what is already there. When a write fails, a regular file holds the bytes
// written so far, and false is returned.
bool OverwriteFile(int file, const FileFacts& facts, const char* bytes, std::size_t size);

// False if the system reports a failure, which for a written file may mean
// that its content did not reach the disk.
bool CloseFile(int file);

// Whether the file that the name reaches is named *.trb, the name of a
// track-tail file: the name itself, as the platform reads it, or on POSIX
// the name that a symbolic link leads to. Windows reads the name as its full
// path (GetFullPathNameW), which drops trailing dots and blanks and resolves
// "\." and "x\..". kUnknown if the name cannot be read (the cause is
// LastFileError()).
enum class TrackTailName { kNo, kYes, kUnknown };
TrackTailName NamesTrackTailFile(const char* name);

// True if the platform opens the name as a device rather than as a file,
// although it has an extension (com1.csv on Windows): such a name would
// seem to succeed and leave no file.
bool NamesDeviceInDisguise(const char* name);

// Writes the current folder into folder (at most size bytes with the
// terminating zero); "." if it cannot be known.
void GetCurrentFolder(char* folder, std::size_t size);

#endif  // TRB2CSV_FILE_ACCESS_H_
