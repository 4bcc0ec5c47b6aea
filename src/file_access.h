// The file opens the converter needs, with each platform's rules on sharing.

#ifndef TRB2CSV_FILE_ACCESS_H_
#define TRB2CSV_FILE_ACCESS_H_

#include <cstdio>

// Opens an existing file for binary reading. Other readers may share it;
// where the platform enforces it, writers may not. A FIFO without a writer
// reads as empty instead of blocking. Returns nullptr on failure.
std::FILE* OpenInputFile(const char* name);

// Creates or truncates a file for binary writing, held unshared where the
// platform can. Returns nullptr on failure.
std::FILE* OpenOutputFile(const char* name);

// True if both names exist and refer to the same file (same device and file
// number), whatever the spelling of the names or the links between them.
bool IsSameFile(const char* first_name, const char* second_name);

#endif  // TRB2CSV_FILE_ACCESS_H_
