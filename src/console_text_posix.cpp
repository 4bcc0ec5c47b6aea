#include <cstdarg>

#include "console_text.h"

// NOLINTNEXTLINE(cert-dcl50-cpp): printf's own interface, checked by its format attribute
void PrintText(std::FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stream, format, arguments);
  va_end(arguments);
}

const char kWhereToReadMore[] =
    "More in the manual page, trb2csv(1), and in README.md, which the Debian\n"
    "package installs as /usr/share/doc/trb2csv/README.md.\n";
