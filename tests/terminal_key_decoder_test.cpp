#include "terminal_key_decoder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// How many bytes of what a terminal sends make its first key; 0 where the
// bytes end before the key does, so that only the gap after them ends it.
TEST(TerminalKey, TheBytesOfOneKey) {
  const struct {
    const char* bytes;
    std::size_t key_length;
    bool echoed;
  } kCases[] = {
      {"x", 1, true},
      {"\r", 1, true},
      {"\x03", 1, false},
      {"\x7f", 1, false},
      {"ab", 1, true},
      {"\xc3\xa4", 2, true},
      {"\xe2\x82\xac", 3, true},
      {"\xef\xbc\xa1", 3, true},
      {"\xf0\x9f\x98\x80", 4, true},
      {"\xff", 1, false},
      {"\x1b", 0, false},
      {"\x1b[A", 3, false},
      {"\x1b[15~", 5, false},
      {"\x1b[1;5Cx", 6, false},
      {"\x1bOP", 3, false},
      {"\x1bx", 2, false},
      {"\x1b\xc3\xa4", 3, false},
      {"\x1b[", 0, false},
      {"\xc3", 0, false},
  };
  for (const auto& c : kCases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes);
    const std::size_t size = std::strlen(c.bytes);
    TerminalKeyDecoder decoder;
    std::size_t key_length = 0;
    for (std::size_t i = 0; i < size && key_length == 0; ++i) {
      if (decoder.Add(bytes[i])) key_length = i + 1;
    }
    EXPECT_EQ(key_length, c.key_length) << testing::PrintToString(c.bytes);
    const std::size_t whole = key_length > 0 ? key_length : size;
    EXPECT_EQ(IsEchoedKey(bytes, whole), c.echoed) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
