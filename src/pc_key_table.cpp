#include "pc_key_table.h"

namespace {

enum Column { kNormal, kShift, kCtrl, kAlt };

Column ColumnFor(KeyModifiers modifiers) {
  if (modifiers.alt) return kAlt;
  if (modifiers.ctrl) return kCtrl;
  if (modifiers.shift) return kShift;
  return kNormal;
}

// The cursor and editing keys, by the codes they give.
struct CursorKey {
  std::uint16_t virtual_key_code;
  unsigned char alone;  // also the separate key with Shift
  unsigned char with_ctrl;
  unsigned char separate_with_alt;
};

constexpr CursorKey kCursorKeys[] = {
    {virtual_key::kHome, 71, 119, 151},   {virtual_key::kUp, 72, 141, 152},
    {virtual_key::kPageUp, 73, 132, 153}, {virtual_key::kLeft, 75, 115, 155},
    {virtual_key::kRight, 77, 116, 157},  {virtual_key::kEnd, 79, 117, 159},
    {virtual_key::kDown, 80, 145, 160},   {virtual_key::kPageDown, 81, 118, 161},
    {virtual_key::kInsert, 82, 146, 162}, {virtual_key::kDelete, 83, 147, 163},
};

// Keys that give a code only with Alt: the key's scan code, mostly.
struct AltKey {
  std::uint16_t virtual_key_code;
  unsigned char code;
};

constexpr AltKey kAltKeys[] = {
    {virtual_key::kEscape, 1},       {virtual_key::kBackspace, 14},
    {virtual_key::kTab, 165},        {virtual_key::kEnter, 28},
    {virtual_key::kMinus, 130},      {virtual_key::kEquals, 131},
    {virtual_key::kLeftBracket, 26}, {virtual_key::kRightBracket, 27},
    {virtual_key::kSemicolon, 39},   {virtual_key::kQuote, 40},
    {virtual_key::kBackquote, 41},   {virtual_key::kComma, 51},
    {virtual_key::kPeriod, 52},      {virtual_key::kSlash, 53},
};

// Scan codes of the letters A to Z.
constexpr unsigned char kLetterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                                49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

std::optional<PcKeyCode> Code(unsigned char first, unsigned char second) {
  return PcKeyCode{first, second};
}

}  // namespace

std::optional<PcKeyCode> LookUpPcKeyCode(std::uint16_t virtual_key_code, bool enhanced,
                                         KeyModifiers modifiers) {
  const Column column = ColumnFor(modifiers);

  if (virtual_key_code >= virtual_key::kF1 && virtual_key_code <= virtual_key::kF10) {
    static constexpr unsigned char kF1Codes[] = {59, 84, 94, 104};  // by column
    return Code(0,
                static_cast<unsigned char>(kF1Codes[column] + virtual_key_code - virtual_key::kF1));
  }
  if (virtual_key_code == virtual_key::kF11 || virtual_key_code == virtual_key::kF12) {
    static constexpr unsigned char kF11Codes[] = {133, 135, 137, 139};
    return Code(
        0xE0, static_cast<unsigned char>(kF11Codes[column] + virtual_key_code - virtual_key::kF11));
  }

  for (const CursorKey& key : kCursorKeys) {
    if (key.virtual_key_code != virtual_key_code) continue;
    if (enhanced) {
      if (column == kAlt) return Code(0, key.separate_with_alt);
      return Code(0xE0, column == kCtrl ? key.with_ctrl : key.alone);
    }
    if (column == kNormal) return Code(0, key.alone);
    if (column == kCtrl) return Code(0, key.with_ctrl);
    return std::nullopt;
  }

  if (enhanced) return std::nullopt;
  if (virtual_key_code == virtual_key::kTab && column == kShift) return Code(0, 15);
  if (virtual_key_code == virtual_key::kTab && column == kCtrl) return Code(0, 148);
  if (virtual_key_code == virtual_key::kDigit0 + 2 && column == kCtrl) return Code(0, 3);
  if (column != kAlt) return std::nullopt;

  if (virtual_key_code >= virtual_key::kDigit0 && virtual_key_code <= virtual_key::kDigit0 + 9) {
    // Alt with 1 to 9 gives 120 to 128, with 0 gives 129.
    int digit = virtual_key_code - virtual_key::kDigit0;
    return Code(0, static_cast<unsigned char>(digit == 0 ? 129 : 119 + digit));
  }
  if (virtual_key_code >= virtual_key::kLetterA && virtual_key_code < virtual_key::kLetterA + 26) {
    return Code(0, kLetterScanCodes[virtual_key_code - virtual_key::kLetterA]);
  }
  for (const AltKey& key : kAltKeys) {
    if (key.virtual_key_code == virtual_key_code) return Code(0, key.code);
  }
  return std::nullopt;
}
