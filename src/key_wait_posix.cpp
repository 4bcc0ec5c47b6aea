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

// Reads one whole key into key; returns its length, 0 if reading failed.
// Bytes of an overlong sequence are read but not kept.
std::size_t ReadKey(unsigned char (&key)[kMaxKeyLength]) {
  std::size_t length = 0;
  unsigned char byte;
  auto keep = [&](unsigned char b) {
    if (length < kMaxKeyLength) key[length++] = b;
  };
  auto read_next = [&]() {
    if (!ReadByte(kSequenceGapMs, &byte)) return false;
    keep(byte);
    return true;
  };

  if (!ReadByte(-1, &byte)) return 0;
  keep(byte);
  if (byte == 0x1B) {
    if (!read_next()) return length;  // a lone Esc
    if (byte == '[') {
      // Control sequence: parameter bytes up to a final byte.
      while (read_next() && !(byte >= 0x40 && byte <= 0x7E)) {
      }
      return length;
    }
    if (byte == 'O') {
      read_next();
      return length;
    }
    // Alt with a key: Esc and that key's byte, or its UTF-8 character.
  }
  int continuation_bytes = 0;
  if (byte >= 0xC2 && byte <= 0xDF) continuation_bytes = 1;
  if (byte >= 0xE0 && byte <= 0xEF) continuation_bytes = 2;
  if (byte >= 0xF0 && byte <= 0xF4) continuation_bytes = 3;
  while (continuation_bytes-- > 0 && read_next()) {
  }
  return length;
}

// Printable characters are echoed as they came, Enter as a carriage return;
// control characters and special keys are not echoed.
bool IsEchoed(const unsigned char* key, std::size_t length) {
  if (length == 1) return key[0] == '\r' || (key[0] >= 0x20 && key[0] < 0x7F);
  return key[0] >= 0xC2 && key[0] <= 0xF4;
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
  unsigned char key[kMaxKeyLength];
  std::size_t length = ReadKey(key);
  tcsetattr(g_terminal, TCSANOW, &g_saved_mode);
  RestoreSignalHandlers();

  if (length > 0 && IsEchoed(key, length)) {
    ssize_t written = write(g_terminal, key, length);
    (void)written;  // Nothing can be done if the echo fails.
  }
  close(g_terminal);
  g_terminal = -1;
}
