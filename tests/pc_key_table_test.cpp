#include "pc_key_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// The table is checked against its documented examples and against its own
// structure (the keyboard's rows, the columns' order, codes that no two keys
// share), rather than entry for entry, which would repeat a wrong code.

namespace {

namespace vk = virtual_key;

constexpr KeyModifiers kNone = {false, false, false};
constexpr KeyModifiers kShift = {false, false, true};
constexpr KeyModifiers kCtrl = {false, true, false};
constexpr KeyModifiers kAlt = {true, false, false};
constexpr KeyModifiers kColumns[] = {kNone, kShift, kCtrl, kAlt};

// "none", or the two bytes in decimal, "0 59".
std::string Code(std::uint16_t virtual_key_code, bool enhanced, KeyModifiers modifiers) {
  std::optional<PcKeyCode> code = LookUpPcKeyCode(virtual_key_code, enhanced, modifiers);
  if (!code) return "none";
  return std::to_string(code->first) + " " + std::to_string(code->second);
}

TEST(PcKeyTable, DocumentedExamples) {
  EXPECT_EQ(Code(vk::kF1, false, kNone), "0 59");
  EXPECT_EQ(Code(vk::kUp, true, kNone), "224 72");
  EXPECT_EQ(Code(vk::kBackslash, false, kAlt), "none");
  EXPECT_EQ(Code(vk::kDigit0 + 2, false, kCtrl), "0 3");  // Ctrl+2, as Ctrl+@
  EXPECT_EQ(Code(vk::kTab, false, kShift), "0 15");       // Shift+Tab: Tab's scan code
}

// F1 to F10 count up in each column; the columns follow each other in the
// order none, Shift, Ctrl, Alt, ten codes apart after the keypad's codes.
// F11 and F12 have the first byte 0xE0 and a pair of codes in each column.
TEST(PcKeyTable, FunctionKeysCountUpColumnAfterColumn) {
  const int kF1First[] = {59, 84, 94, 104};
  for (int column = 0; column < 4; ++column) {
    for (int f = 0; f < 10; ++f) {
      EXPECT_EQ(Code(static_cast<std::uint16_t>(vk::kF1 + f), false, kColumns[column]),
                "0 " + std::to_string(kF1First[column] + f))
          << "F" << f + 1 << " in column " << column;
    }
    EXPECT_EQ(Code(vk::kF11, false, kColumns[column]), "224 " + std::to_string(133 + 2 * column));
    EXPECT_EQ(Code(vk::kF12, false, kColumns[column]), "224 " + std::to_string(134 + 2 * column));
  }
  EXPECT_EQ(kF1First[1] - kF1First[0], 25) << "past the keypad's codes 69 to 83";
}

TEST(PcKeyTable, ColumnIsChosenInTheOrderAltCtrlShift) {
  for (std::uint16_t key : {vk::kF1, vk::kTab, vk::kHome}) {
    EXPECT_EQ(Code(key, false, {true, true, true}), Code(key, false, kAlt)) << key;
    EXPECT_EQ(Code(key, false, {false, true, true}), Code(key, false, kCtrl)) << key;
  }
}

// The keypad's cursor keys give its scan codes, which count up row by row
// over the keypad (7 8 9 -, 4 5 6 +, 1 2 3, 0 .); the separate keys give the
// same after 0xE0, also with Shift and Ctrl, and with Alt the first byte 0
// and the scan code plus 80. With Ctrl they give the PC BIOS's codes: the
// first PC's for Left, Right, End, Page Down, Home (115 to 119, in that
// order) and Page Up (132), the later keyboards' for the other keys of the
// keypad (141 to 147, in the order of their scan codes: 8 - 5 + 2 0 .).
TEST(PcKeyTable, CursorKeysOfTheKeypadAndSeparateOnes) {
  const std::string kKeypad = "789-456+1230.";  // scan codes 71 to 83
  const std::string kLaterCtrl = "8-5+20.";     // Ctrl codes 141 to 147
  const std::string kFirstCtrl = "46137";       // Ctrl codes 115 to 119
  const struct {
    std::uint16_t key;
    char on_keypad;
  } kKeys[] = {{vk::kHome, '7'},   {vk::kUp, '8'},    {vk::kPageUp, '9'}, {vk::kLeft, '4'},
               {vk::kRight, '6'},  {vk::kEnd, '1'},   {vk::kDown, '2'},   {vk::kPageDown, '3'},
               {vk::kInsert, '0'}, {vk::kDelete, '.'}};
  for (const auto& k : kKeys) {
    SCOPED_TRACE(k.on_keypad);
    const int scan_code = 71 + static_cast<int>(kKeypad.find(k.on_keypad));
    int with_ctrl = 132;  // Page Up
    if (kFirstCtrl.find(k.on_keypad) != std::string::npos) {
      with_ctrl = 115 + static_cast<int>(kFirstCtrl.find(k.on_keypad));
    } else if (kLaterCtrl.find(k.on_keypad) != std::string::npos) {
      with_ctrl = 141 + static_cast<int>(kLaterCtrl.find(k.on_keypad));
    }
    const std::string scan = std::to_string(scan_code);
    const std::string ctrl = std::to_string(with_ctrl);
    EXPECT_EQ(Code(k.key, false, kNone), "0 " + scan);
    EXPECT_EQ(Code(k.key, false, kCtrl), "0 " + ctrl);
    EXPECT_EQ(Code(k.key, false, kShift), "none");
    EXPECT_EQ(Code(k.key, false, kAlt), "none");
    EXPECT_EQ(Code(k.key, true, kNone), "224 " + scan);
    EXPECT_EQ(Code(k.key, true, kShift), "224 " + scan);
    EXPECT_EQ(Code(k.key, true, kCtrl), "224 " + ctrl);
    EXPECT_EQ(Code(k.key, true, kAlt), "0 " + std::to_string(scan_code + 80));
  }
}

// Alt with a letter gives its scan code: the keyboard's rows count up.
TEST(PcKeyTable, AltWithLettersGivesTheirScanCodes) {
  const struct {
    const char* letters;
    int first;
  } kRows[] = {{"QWERTYUIOP", 16}, {"ASDFGHJKL", 30}, {"ZXCVBNM", 44}};
  for (const auto& row : kRows) {
    for (int i = 0; row.letters[i] != '\0'; ++i) {
      const auto letter = static_cast<std::uint16_t>(row.letters[i]);
      EXPECT_EQ(Code(letter, false, kAlt), "0 " + std::to_string(row.first + i)) << row.letters[i];
      EXPECT_EQ(Code(letter, false, kNone), "none") << row.letters[i];
    }
  }
  // The digit row: Alt with 1 to 9 and 0 counts up from 120.
  for (int digit = 1; digit <= 10; ++digit) {
    EXPECT_EQ(Code(static_cast<std::uint16_t>(vk::kDigit0 + digit % 10), false, kAlt),
              "0 " + std::to_string(119 + digit));
  }
}

// Every key has codes of its own: no two keys share one, so that a program
// can tell every key apart (a key may give one code in two columns, as a
// separate cursor key alone and with Shift). Keys without a character
// otherwise give none, and the modifier and lock keys alone never one.
TEST(PcKeyTable, NoTwoKeysShareACode) {
  std::vector<std::uint16_t> keys = {
      vk::kBackspace, vk::kTab,         vk::kEnter,     vk::kEscape,       vk::kPageUp,
      vk::kPageDown,  vk::kEnd,         vk::kHome,      vk::kLeft,         vk::kUp,
      vk::kRight,     vk::kDown,        vk::kInsert,    vk::kDelete,       vk::kSemicolon,
      vk::kEquals,    vk::kComma,       vk::kMinus,     vk::kPeriod,       vk::kSlash,
      vk::kBackquote, vk::kLeftBracket, vk::kBackslash, vk::kRightBracket, vk::kQuote};
  for (int i = 0; i < 10; ++i) keys.push_back(static_cast<std::uint16_t>(vk::kDigit0 + i));
  for (int i = 0; i < 26; ++i) keys.push_back(static_cast<std::uint16_t>(vk::kLetterA + i));
  for (int i = 0; i < 12; ++i) keys.push_back(static_cast<std::uint16_t>(vk::kF1 + i));
  std::map<std::string, std::uint16_t> owners;
  int codes = 0;
  for (std::uint16_t key : keys) {
    for (bool enhanced : {false, true}) {
      for (KeyModifiers column : kColumns) {
        const std::string code = Code(key, enhanced, column);
        if (code == "none") continue;
        const auto [owner, fresh] = owners.emplace(code, key);
        EXPECT_TRUE(fresh || owner->second == key)
            << code << " for both keys " << owner->second << " and " << key;
        ++codes;
      }
    }
  }
  EXPECT_GT(codes, 100);
  for (std::uint16_t key :
       {vk::kShift, vk::kControl, vk::kAlt, vk::kCapsLock, vk::kNumLock, vk::kScrollLock}) {
    for (KeyModifiers modifiers : kColumns) {
      EXPECT_EQ(Code(key, false, modifiers), "none") << key;
      EXPECT_EQ(Code(key, true, modifiers), "none") << key;
    }
  }
  EXPECT_EQ(Code(vk::kTab, false, kNone), "none");
  EXPECT_EQ(Code(vk::kEscape, false, kNone), "none");
  EXPECT_EQ(Code(vk::kDigit0 + 3, false, kCtrl), "none");
  EXPECT_EQ(Code(vk::kEnter, true, kAlt), "none");
}

}  // namespace
