// The conventional PC console key table: the two-byte codes that special
// keys give where a program reads the console key by key. The first byte is
// 0 or 0xE0, the second the key's code: F1 gives 0 and 59, the separate Up
// key 0xE0 and 72. Keys that give a character have no entry here.

#ifndef TRB2CSV_PC_KEY_TABLE_H_
#define TRB2CSV_PC_KEY_TABLE_H_

#include <cstdint>
#include <optional>

// Windows virtual-key codes of the keys in the table.
namespace virtual_key {
constexpr std::uint16_t kBackspace = 0x08, kTab = 0x09, kEnter = 0x0D, kShift = 0x10,
                        kControl = 0x11, kAlt = 0x12, kCapsLock = 0x14, kEscape = 0x1B,
                        kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24, kLeft = 0x25,
                        kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E,
                        kDigit0 = 0x30, kLetterA = 0x41, kF1 = 0x70, kF10 = 0x79, kF11 = 0x7A,
                        kF12 = 0x7B, kNumLock = 0x90, kScrollLock = 0x91, kSemicolon = 0xBA,
                        kEquals = 0xBB, kComma = 0xBC, kMinus = 0xBD, kPeriod = 0xBE, kSlash = 0xBF,
                        kBackquote = 0xC0, kLeftBracket = 0xDB, kBackslash = 0xDC,
                        kRightBracket = 0xDD, kQuote = 0xDE;
}  // namespace virtual_key

struct KeyModifiers {
  bool alt;
  bool ctrl;
  bool shift;
};

struct PcKeyCode {
  unsigned char first;  // 0 or 0xE0
  unsigned char second;
};

// The code of a key pressed with the given modifiers, or none. `enhanced`
// tells the separate cursor and editing keys from those of the keypad with
// Num Lock off, which share their virtual-key codes. Of the modifiers held,
// the first of Alt, Ctrl and Shift chooses the column.
std::optional<PcKeyCode> LookUpPcKeyCode(std::uint16_t virtual_key_code, bool enhanced,
                                         KeyModifiers modifiers);

#endif  // TRB2CSV_PC_KEY_TABLE_H_
