#include <windows.h>

#include <cstdarg>

#include "console_text.h"

namespace {

// A message with two names and a folder fits; a longer one is cut.
char g_text[8192];
wchar_t g_wide_text[2 * sizeof g_text];

}  // namespace

// A console is written in UTF-16, which no code page can spoil: the C
// library would pass the bytes through a code page of its own. The text is
// in the ANSI code page, UTF-8 under the manifest.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf's own interface, checked by its format attribute
void PrintText(std::FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(g_text, sizeof g_text, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  const HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode;
  if (!GetConsoleMode(console, &mode)) {
    std::fputs(g_text, stream);  // a file or a pipe: the bytes, CR LF by the text stream
    return;
  }
  int wide_length = 0;
  for (const char* c = g_text; *c != '\0'; ++c) {
    const char* line_end = c;
    while (*line_end != '\0' && *line_end != '\n') ++line_end;
    const int part = static_cast<int>(line_end - c);
    wide_length += MultiByteToWideChar(
        CP_ACP, 0, c, part, g_wide_text + wide_length,
        static_cast<int>(sizeof g_wide_text / sizeof(wchar_t)) - wide_length - 2);
    c = line_end;
    if (*c == '\0') break;
    g_wide_text[wide_length++] = L'\r';
    g_wide_text[wide_length++] = L'\n';
  }
  DWORD written;
  WriteConsoleW(console, g_wide_text, static_cast<DWORD>(wide_length), &written, nullptr);
}

const char kWhereToReadMore[] = "More in README.txt, beside trb2csv.exe.\n";
