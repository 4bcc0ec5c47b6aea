// Letter case of ASCII text, whatever the locale: names and options are
// matched without regard to the case of the letters A to Z alone.

#ifndef TRB2CSV_ASCII_H_
#define TRB2CSV_ASCII_H_

#include <cstddef>

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True if the first length bytes of text and of lower_case match, the ASCII
// letters of text in any case; lower_case is all lower case.
inline bool MatchesIgnoringCase(const char* text, const char* lower_case, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (AsciiLower(text[i]) != lower_case[i]) return false;
  }
  return true;
}

#endif  // TRB2CSV_ASCII_H_
