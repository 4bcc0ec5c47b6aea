#include <cstdarg>

#include "console_text.h"

// NOLINTNEXTLINE(cert-dcl50-cpp): printf's own interface, checked by its format attribute
void PrintCause(const char* name, const char* format, ...) {
  static char cause[2048];  // a longer cause is cut
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(cause, sizeof cause, format, arguments);
  va_end(arguments);
  if (name) {
    PrintText(stderr, "trb2csv: %s: %s\n", name, cause);
  } else {
    PrintText(stderr, "trb2csv: %s\n", cause);
  }
}
