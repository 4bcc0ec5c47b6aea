#include "key_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "terminal_key.h"

namespace {

namespace vk = virtual_key;

constexpr KeyModifiers kNone = {false, false, false};
constexpr KeyModifiers kShift = {false, false, true};
constexpr KeyModifiers kCtrl = {false, true, false};
constexpr KeyModifiers kAlt = {true, false, false};

// "none", or the two bytes in decimal, "0 59".
std::string Code(std::uint16_t virtual_key_code, bool enhanced, KeyModifiers modifiers) {
  std::optional<PcKeyCode> code = LookUpPcKeyCode(virtual_key_code, enhanced, modifiers);
  if (!code) return "none";
  return std::to_string(code->first) + " " + std::to_string(code->second);
}

TEST(PcKeyCode, FunctionKeysByColumn) {
  EXPECT_EQ(Code(vk::kF1, false, kNone), "0 59");
  EXPECT_EQ(Code(vk::kF10, false, kNone), "0 68");
  EXPECT_EQ(Code(vk::kF1, false, kShift), "0 84");
  EXPECT_EQ(Code(vk::kF10, false, kShift), "0 93");
  EXPECT_EQ(Code(vk::kF1, false, kCtrl), "0 94");
  EXPECT_EQ(Code(vk::kF10, false, kCtrl), "0 103");
  EXPECT_EQ(Code(vk::kF1, false, kAlt), "0 104");
  EXPECT_EQ(Code(vk::kF10, false, kAlt), "0 113");
  EXPECT_EQ(Code(vk::kF11, false, kNone), "224 133");
  EXPECT_EQ(Code(vk::kF12, false, kNone), "224 134");
  EXPECT_EQ(Code(vk::kF11, false, kShift), "224 135");
  EXPECT_EQ(Code(vk::kF12, false, kShift), "224 136");
  EXPECT_EQ(Code(vk::kF11, false, kCtrl), "224 137");
  EXPECT_EQ(Code(vk::kF12, false, kCtrl), "224 138");
  EXPECT_EQ(Code(vk::kF11, false, kAlt), "224 139");
  EXPECT_EQ(Code(vk::kF12, false, kAlt), "224 140");
}

TEST(PcKeyCode, ColumnIsChosenInTheOrderAltCtrlShift) {
  EXPECT_EQ(Code(vk::kF1, false, {true, true, true}), "0 104");
  EXPECT_EQ(Code(vk::kF1, false, {false, true, true}), "0 94");
  EXPECT_EQ(Code(vk::kTab, false, {true, false, true}), "0 165");
  EXPECT_EQ(Code(vk::kTab, false, {false, true, true}), "0 148");
}

TEST(PcKeyCode, CursorKeysOfTheKeypadAndSeparateOnes) {
  struct Case {
    std::uint16_t key;
    int alone, ctrl, separate_alt;
  } cases[] = {
      {vk::kHome, 71, 119, 151},   {vk::kUp, 72, 141, 152},       {vk::kPageUp, 73, 132, 153},
      {vk::kLeft, 75, 115, 155},   {vk::kRight, 77, 116, 157},    {vk::kEnd, 79, 117, 159},
      {vk::kDown, 80, 145, 160},   {vk::kPageDown, 81, 118, 161}, {vk::kInsert, 82, 146, 162},
      {vk::kDelete, 83, 147, 163},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    std::string alone = std::to_string(c.alone), ctrl = std::to_string(c.ctrl);
    EXPECT_EQ(Code(c.key, false, kNone), "0 " + alone);
    EXPECT_EQ(Code(c.key, false, kCtrl), "0 " + ctrl);
    EXPECT_EQ(Code(c.key, false, kShift), "none");
    EXPECT_EQ(Code(c.key, false, kAlt), "none");
    EXPECT_EQ(Code(c.key, true, kNone), "224 " + alone);
    EXPECT_EQ(Code(c.key, true, kShift), "224 " + alone);
    EXPECT_EQ(Code(c.key, true, kCtrl), "224 " + ctrl);
    EXPECT_EQ(Code(c.key, true, kAlt), "0 " + std::to_string(c.separate_alt));
  }
}

TEST(PcKeyCode, AltWithCharacterKeys) {
  EXPECT_EQ(Code(vk::kEscape, false, kAlt), "0 1");
  EXPECT_EQ(Code(vk::kBackspace, false, kAlt), "0 14");
  EXPECT_EQ(Code(vk::kTab, false, kAlt), "0 165");
  EXPECT_EQ(Code(vk::kEnter, false, kAlt), "0 28");
  EXPECT_EQ(Code(vk::kDigit0 + 1, false, kAlt), "0 120");
  EXPECT_EQ(Code(vk::kDigit0 + 9, false, kAlt), "0 128");
  EXPECT_EQ(Code(vk::kDigit0, false, kAlt), "0 129");
  EXPECT_EQ(Code(vk::kMinus, false, kAlt), "0 130");
  EXPECT_EQ(Code(vk::kEquals, false, kAlt), "0 131");
  EXPECT_EQ(Code(vk::kLeftBracket, false, kAlt), "0 26");
  EXPECT_EQ(Code(vk::kRightBracket, false, kAlt), "0 27");
  EXPECT_EQ(Code(vk::kSemicolon, false, kAlt), "0 39");
  EXPECT_EQ(Code(vk::kQuote, false, kAlt), "0 40");
  EXPECT_EQ(Code(vk::kBackquote, false, kAlt), "0 41");
  EXPECT_EQ(Code(vk::kComma, false, kAlt), "0 51");
  EXPECT_EQ(Code(vk::kPeriod, false, kAlt), "0 52");
  EXPECT_EQ(Code(vk::kSlash, false, kAlt), "0 53");
  EXPECT_EQ(Code(vk::kBackslash, false, kAlt), "none");
  EXPECT_EQ(Code(vk::kEnter, true, kAlt), "none");
}

TEST(PcKeyCode, AltWithLettersGivesTheirScanCodes) {
  const char kRows[] =
      "QWERTYUIOP"
      "ASDFGHJKL"
      "ZXCVBNM";
  const int kFirstCodes[] = {16, 30, 44};
  const int kRowLengths[] = {10, 9, 7};
  const char* letter = kRows;
  for (int row = 0; row < 3; ++row) {
    for (int i = 0; i < kRowLengths[row]; ++i, ++letter) {
      EXPECT_EQ(Code(static_cast<std::uint16_t>(*letter), false, kAlt),
                "0 " + std::to_string(kFirstCodes[row] + i))
          << *letter;
      EXPECT_EQ(Code(static_cast<std::uint16_t>(*letter), false, kNone), "none") << *letter;
    }
  }
}

TEST(PcKeyCode, FewKeysWithShiftOrCtrl) {
  EXPECT_EQ(Code(vk::kTab, false, kShift), "0 15");
  EXPECT_EQ(Code(vk::kTab, false, kCtrl), "0 148");
  EXPECT_EQ(Code(vk::kDigit0 + 2, false, kCtrl), "0 3");
  EXPECT_EQ(Code(vk::kDigit0 + 3, false, kCtrl), "none");
  EXPECT_EQ(Code(vk::kTab, false, kNone), "none");
  EXPECT_EQ(Code(vk::kEscape, false, kNone), "none");
}

TEST(PcKeyCode, ModifierAndLockKeysAloneHaveNoCode) {
  for (std::uint16_t key :
       {vk::kShift, vk::kControl, vk::kAlt, vk::kCapsLock, vk::kNumLock, vk::kScrollLock}) {
    for (KeyModifiers modifiers : {kNone, kShift, kCtrl, kAlt}) {
      EXPECT_EQ(Code(key, false, modifiers), "none") << key;
      EXPECT_EQ(Code(key, true, modifiers), "none") << key;
    }
  }
}

}  // namespace

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
