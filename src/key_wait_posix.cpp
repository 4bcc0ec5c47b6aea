// The key wait on a POSIX terminal.
//
// The controlling terminal is put into a raw mode for the wait: no line
// input, no echo, no signal or flow-control keys (Ctrl+C is an ordinary
// key). Pending input is kept, so a key typed during the conversion ends the
// wait at once. A key is one byte, one UTF-8 character or the whole escape
// sequence of a special key, so that nothing of it reaches the shell later.
// The saved mode is restored afterwards, also when SIGTERM, SIGHUP or SIGINT
// arrive during the wait.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "key_wait.h"

namespace {

constexpr int kRestoringSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The rest of an escape sequence or of a UTF-8 character arrives within this
// time; a lone Esc key is followed by nothing.
constexpr int kSequenceGapMs = 50;

constexpr std::size_t kMaxKeyLength = 16;

int g_terminal = -1;
termios g_saved_mode;
struct sigaction g_previous_actions[sizeof kRestoringSignals / sizeof kRestoringSignals[0]];

void RestoreModeAndDie(int signal_number) {
  tcsetattr(g_terminal, TCSANOW, &g_saved_mode);
  // The handler was installed with SA_RESETHAND, so the default action ends
  // the process once the handler returns.
  raise(signal_number);
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = RestoreModeAndDie;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kRestoringSignals) sigaddset(&action.sa_mask, signal_number);
  for (std::size_t i = 0; i < sizeof kRestoringSignals / sizeof kRestoringSignals[0]; ++i) {
    sigaction(kRestoringSignals[i], &action, &g_previous_actions[i]);
  }
}

void RestoreSignalHandlers() {
  for (std::size_t i = 0; i < sizeof kRestoringSignals / sizeof kRestoringSignals[0]; ++i) {
    sigaction(kRestoringSignals[i], &g_previous_actions[i], nullptr);
  }
}

// Reads one byte; with a timeout, gives up when none arrives in time.
bool ReadByte(int timeout_ms, unsigned char* byte) {
  for (;;) {
    if (timeout_ms >= 0) {
      pollfd ready = {g_terminal, POLLIN, 0};
      int polled = poll(&ready, 1, timeout_ms);
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) return false;
    }
    ssize_t got = read(g_terminal, byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

// The bytes of one key as the terminal sent them. Bytes of an overlong
// sequence are read but not kept.
struct Key {
  unsigned char bytes[kMaxKeyLength];
  std::size_t length = 0;

  // Reads the next byte, waiting at most timeout_ms (forever if negative).
  bool ReadNext(int timeout_ms, unsigned char* byte) {
    if (!ReadByte(timeout_ms, byte)) return false;
    if (length < kMaxKeyLength) bytes[length++] = *byte;
    return true;
  }
};

bool IsFinalByteOfControlSequence(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

int Utf8ContinuationBytes(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

// Reads one whole key; its length is 0 if reading failed.
Key ReadKey() {
  Key key;
  unsigned char byte;
  if (!key.ReadNext(-1, &byte)) return key;
  if (byte == 0x1B) {
    if (!key.ReadNext(kSequenceGapMs, &byte)) return key;  // a lone Esc
    if (byte == '[') {
      // Control sequence: parameter bytes up to a final byte.
      unsigned char next;
      while (key.ReadNext(kSequenceGapMs, &next) && !IsFinalByteOfControlSequence(next)) {
      }
      return key;
    }
    if (byte == 'O') {
      key.ReadNext(kSequenceGapMs, &byte);
      return key;
    }
    // Alt with a key: Esc and that key's byte, or its UTF-8 character.
  }
  for (int missing = Utf8ContinuationBytes(byte); missing > 0; --missing) {
    if (!key.ReadNext(kSequenceGapMs, &byte)) break;
  }
  return key;
}

// Printable characters are echoed as they came, Enter as a carriage return;
// control characters and special keys are not echoed.
bool IsEchoed(const Key& key) {
  if (key.length == 1) return key.bytes[0] == '\r' || (key.bytes[0] >= 0x20 && key.bytes[0] < 0x7F);
  return key.length > 1 && Utf8ContinuationBytes(key.bytes[0]) > 0;
}

}  // namespace

void WaitForKey() {
  g_terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (g_terminal < 0) return;
  if (tcgetattr(g_terminal, &g_saved_mode) != 0) {
    close(g_terminal);
    g_terminal = -1;
    return;
  }

  termios raw = g_saved_mode;
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  InstallSignalHandlers();
  tcsetattr(g_terminal, TCSANOW, &raw);  // TCSANOW keeps the keys already typed
  Key key = ReadKey();
  tcsetattr(g_terminal, TCSANOW, &g_saved_mode);
  RestoreSignalHandlers();

  if (IsEchoed(key)) {
    ssize_t written = write(g_terminal, key.bytes, key.length);
    (void)written;  // Nothing can be done if the echo fails.
  }
  close(g_terminal);
  g_terminal = -1;
}
