// The file operations the converter needs, with each platform's rules on
// sharing. Files are plain descriptors; no call here blocks forever on a FIFO
// that has no other end.

#ifndef TRB2CSV_FILE_ACCESS_H_
#define TRB2CSV_FILE_ACCESS_H_

#include <cstddef>

// Opens an existing file for reading. Other readers may share it; where the
// platform enforces it, writers may not. Returns -1 on failure.
int OpenInputFile(const char* name);

// Reads until size bytes are read or the file ends. Returns the number of
// bytes read, or -1 if a read fails. A FIFO without a writer reads as empty.
long ReadBytes(int file, void* bytes, std::size_t size);

// Opens a file for writing, creating it if it is missing, held for this run
// alone: Windows opens it unshared; POSIX locks a regular file (flock), which
// keeps out another run of the converter but not other programs. A file held
// or locked by another run, and a FIFO without a reader, are refused at once.
// Returns -1 on failure.
int OpenOutputFile(const char* name);

// Writes bytes from the start of the file, so that nothing of its earlier
// content remains: POSIX cuts a regular file to the bytes written afterwards,
// whatever size it had, and signals that would end the program wait until
// then; Windows cuts it when it is opened. A file that is standard output's
// own (/dev/stdout redirected to a file) is written at standard output's
// position instead and not cut, after the console text already there. When a
// write fails, a regular file holds the bytes written so far, and false is
// returned.
bool OverwriteFile(int file, const char* bytes, std::size_t size);

// False if the system reports a failure, which for a written file may mean
// that its content did not reach the disk.
bool CloseFile(int file);

// True if the name, as the platform reads it, ends in .trb: the name of a
// track-tail file. Windows drops trailing dots and blanks from a name.
bool IsTrackTailFileName(const char* name);

// True if both names exist and refer to the same file (same device and file
// number), whatever the spelling of the names or the links between them.
bool IsSameFile(const char* first_name, const char* second_name);

#endif  // TRB2CSV_FILE_ACCESS_H_
