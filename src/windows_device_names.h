// The device names of Windows, as a pure function, so that a table tests it
// on every platform.

#ifndef TRB2CSV_WINDOWS_DEVICE_NAMES_H_
#define TRB2CSV_WINDOWS_DEVICE_NAMES_H_

// True if Windows opens the name as a device although it has an extension:
// its last component is a reserved device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, in any case, blanks allowed before the dot) followed by
// a dot and anything, as in "com1.csv" or "Nul .txt". A bare device name
// ("NUL", "nul.") is not one: it names the device as plainly as /dev/null.
bool IsWindowsDeviceNameWithExtension(const char* name);

#endif  // TRB2CSV_WINDOWS_DEVICE_NAMES_H_
