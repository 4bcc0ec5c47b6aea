// The converter's text for standard output and standard error.
//
// The text is UTF-8 where names are (the Windows program's manifest makes
// them so): a console shows it as it was typed, whatever its code page, and
// a file or a pipe gets the bytes, with CR LF line ends on Windows.

#ifndef TRB2CSV_CONSOLE_TEXT_H_
#define TRB2CSV_CONSOLE_TEXT_H_

#include <cstdio>

// As std::fprintf to stream, which is stdout or stderr.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void PrintText(std::FILE* stream, const char* format, ...);

// Says on standard error why something about the file named went wrong, as
// "trb2csv: NAME: cause" and a line end, or "trb2csv: cause" of the run as a
// whole, where name is null; the cause is formatted as printf formats it.
// Every line of trb2csv's own on standard error is one.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void PrintCause(const char* name, const char* format, ...);

// Where the usage says more is to be read: the manual page and the README
// on Linux, README.txt on Windows.
extern const char kWhereToReadMore[];

#endif  // TRB2CSV_CONSOLE_TEXT_H_
