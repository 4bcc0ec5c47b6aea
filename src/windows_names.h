// How Windows takes a name, as pure functions, so that tables test them on
// every platform: its device names, and the dots and blanks it drops.

#ifndef TRB2CSV_WINDOWS_NAMES_H_
#define TRB2CSV_WINDOWS_NAMES_H_

#include <cstddef>

// True if Windows opens the name as a device although it has an extension:
// its last component is a reserved device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, in any case, blanks allowed before the dot) followed by
// a dot and anything, as in "com1.csv" or "Nul .txt". A bare device name
// ("NUL", "nul.") is not one: it names the device as plainly as /dev/null.
bool IsWindowsDeviceNameWithExtension(const char* name);

// The length of a full path as Windows opens it: without the dots and blanks
// at its end, which it drops ("old.trb." and "old.trb ." open old.trb).
std::size_t LengthAsWindowsOpens(const char* path, std::size_t length);

#endif  // TRB2CSV_WINDOWS_NAMES_H_
