#include "terminal_key_decoder.h"

namespace {

constexpr unsigned char kEscape = 0x1B;

bool IsFinalByteOfControlSequence(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

int Utf8ContinuationBytes(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

}  // namespace

bool TerminalKeyDecoder::Add(unsigned char byte) {
  switch (state_) {
    case State::kStart:
      if (byte == kEscape) {
        state_ = State::kEscape;
        return false;
      }
      break;
    case State::kEscape:
      if (byte == '[') {
        state_ = State::kControlSequence;
        return false;
      }
      if (byte == 'O') {
        state_ = State::kSs3;
        return false;
      }
      break;  // Alt with a key: Esc and that key's byte, or its UTF-8 character
    case State::kControlSequence:
      return IsFinalByteOfControlSequence(byte);
    case State::kSs3:
      return true;
    case State::kCharacter:
      return --missing_ == 0;
  }
  missing_ = Utf8ContinuationBytes(byte);
  state_ = State::kCharacter;
  return missing_ == 0;
}

bool IsEchoedKey(const unsigned char* bytes, std::size_t length) {
  if (length == 1) return bytes[0] == '\r' || (bytes[0] >= 0x20 && bytes[0] < 0x7F);
  return length > 1 && Utf8ContinuationBytes(bytes[0]) > 0;
}
