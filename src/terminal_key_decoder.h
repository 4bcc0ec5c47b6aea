// The bytes of one key as a terminal sends them, told apart from the next
// key's without a terminal, so that tables test them on every platform.
//
// A key is one byte, one UTF-8 character, or the whole escape sequence of a
// special key: Esc [ parameters and a final byte (a control sequence, as F5
// sends "\x1b[15~"), Esc O and one byte (SS3, as F1 sends "\x1bOP"), or Esc
// and a character (Alt with a key). A lone Esc, or a sequence cut short, is
// whole when no byte follows within kKeyGapMs.

#ifndef TRB2CSV_TERMINAL_KEY_DECODER_H_
#define TRB2CSV_TERMINAL_KEY_DECODER_H_

#include <cstddef>

// The rest of an escape sequence or of a UTF-8 character arrives within this
// time; a lone Esc key is followed by nothing.
constexpr int kKeyGapMs = 50;

class TerminalKeyDecoder {
 public:
  // Takes the key's next byte; true when the key is whole with it.
  bool Add(unsigned char byte);

 private:
  enum class State { kStart, kEscape, kControlSequence, kSs3, kCharacter };
  State state_ = State::kStart;
  int missing_ = 0;  // continuation bytes of a UTF-8 character still to come
};

// Whether the key is echoed: printable characters as they came, Enter as a
// carriage return; control characters and special keys are not.
bool IsEchoedKey(const unsigned char* bytes, std::size_t length);

#endif  // TRB2CSV_TERMINAL_KEY_DECODER_H_
