// The key wait on a POSIX terminal.
//
// The controlling terminal is put into a raw mode for the wait: no line
// input, no echo, no signal or flow-control keys (Ctrl+C is an ordinary
// key). Pending input is kept, so a key typed during the conversion ends the
// wait at once. A key is read whole (terminal_key_decoder.h), so that nothing of it
// reaches the shell later.
//
// As other programs that change the terminal mode do, the wait restores the
// saved mode before any signal that it can catch ends the program, leaves a
// signal ignored that was ignored when it began (nohup), and takes part in
// job control: it restores the mode and stops on SIGTSTP, SIGTTIN and
// SIGTTOU, and when continued takes the mode afresh and waits on in raw mode.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "key_wait.h"
#include "signal_hold_posix.h"
#include "terminal_key_decoder.h"

namespace {

constexpr std::size_t kMaxKeyLength = 16;

// What the signal handlers need.
int g_terminal = -1;
termios g_saved_mode;
volatile sig_atomic_t g_stopped_by_handler = 0;

void RestoreMode() { tcsetattr(g_terminal, TCSANOW, &g_saved_mode); }

// TCSANOW keeps the keys already typed.
void SetRawMode() {
  termios raw = g_saved_mode;
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(g_terminal, TCSANOW, &raw);
}

void SetAction(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags | SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

void EndOnSignal(int signal_number) {
  RestoreMode();
  // The handler was set with SA_RESETHAND, and the signal is blocked while
  // it runs: its default action ends the program once the handler returns.
  raise(signal_number);
}

void StopOnSignal(int signal_number) {
  const int saved_errno = errno;
  g_stopped_by_handler = 1;
  RestoreMode();
  SetAction(signal_number, SIG_DFL, 0);
  sigset_t this_signal;
  sigemptyset(&this_signal);
  sigaddset(&this_signal, signal_number);
  sigprocmask(SIG_UNBLOCK, &this_signal, nullptr);
  kill(getpid(), signal_number);  // The program stops here until it is continued.
  SetAction(signal_number, StopOnSignal, 0);
  // The mode may have been changed while the program was stopped.
  tcgetattr(g_terminal, &g_saved_mode);
  SetRawMode();
  g_stopped_by_handler = 0;
  errno = saved_errno;
}

// After a stop that no handler saw (SIGSTOP), the shell may have set the
// mode of its own; the saved mode is still the one to restore.
void ResumeOnSignal(int /*signal_number*/) {
  if (g_stopped_by_handler) return;
  const int saved_errno = errno;
  SetRawMode();
  errno = saved_errno;
}

using Handler = void (*)(int);

Handler HandlerFor(int signal_number) {
  switch (signal_number) {
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
      return StopOnSignal;
    case SIGCONT:
      return ResumeOnSignal;
    case SIGKILL:  // cannot be caught
    case SIGSTOP:
    case SIGCHLD:  // ignored by default
    case SIGURG:
    case SIGWINCH:
      return nullptr;
    default:  // every other default action ends the program
      return EndOnSignal;
  }
}

struct PreviousActions {
  struct sigaction actions[NSIG];
  bool replaced[NSIG];
};

void InstallHandlers(PreviousActions* previous) {
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    previous->replaced[signal_number] = false;
    const Handler handler = HandlerFor(signal_number);
    struct sigaction& action = previous->actions[signal_number];
    if (!handler || sigaction(signal_number, nullptr, &action) != 0) continue;
    if (action.sa_handler == SIG_IGN) continue;  // ignored it stays
    SetAction(signal_number, handler, handler == EndOnSignal ? SA_RESETHAND : 0);
    previous->replaced[signal_number] = true;
  }
}

// With every signal held off, so that none comes between the two.
void RestoreModeAndHandlers(const PreviousActions& previous) {
  const SignalHold hold;
  RestoreMode();
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (previous.replaced[signal_number]) {
      sigaction(signal_number, &previous.actions[signal_number], nullptr);
    }
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
};

// Reads one whole key: the first byte whenever it comes, the rest while they
// follow each other closely. Its length is 0 if reading failed.
Key ReadKey() {
  Key key;
  TerminalKeyDecoder decoder;
  unsigned char byte;
  for (int timeout_ms = -1; ReadByte(timeout_ms, &byte); timeout_ms = kKeyGapMs) {
    if (key.length < kMaxKeyLength) key.bytes[key.length++] = byte;
    if (decoder.Add(byte)) break;
  }
  return key;
}

// The terminal in the wait's raw mode, with the signal handlers that restore
// it, for the life of the object: it ends both on every path.
class RawModeScope {
 public:
  RawModeScope() {
    InstallHandlers(&previous_);
    SetRawMode();
  }
  ~RawModeScope() { RestoreModeAndHandlers(previous_); }
  RawModeScope(const RawModeScope&) = delete;
  RawModeScope& operator=(const RawModeScope&) = delete;

 private:
  PreviousActions previous_;
};

// Nothing can be done if a write to the terminal fails.
void WriteToTerminal(const void* bytes, std::size_t size) {
  const ssize_t written = write(g_terminal, bytes, size);
  (void)written;
}

}  // namespace

void WaitForKey(const char* prompt) {
  g_terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (g_terminal < 0) return;
  if (tcgetattr(g_terminal, &g_saved_mode) != 0) {
    close(g_terminal);
    g_terminal = -1;
    return;
  }
  // Standard output is the terminal if it is this session's controlling one.
  if (tcgetsid(STDOUT_FILENO) != getsid(0)) WriteToTerminal(prompt, std::strlen(prompt));

  Key key;
  {
    RawModeScope raw_mode;
    key = ReadKey();
  }

  // The line ends after the key, so that the shell's prompt starts a new one.
  if (key.length > 0) {
    if (IsEchoedKey(key.bytes, key.length)) WriteToTerminal(key.bytes, key.length);
    WriteToTerminal("\r\n", 2);
  }
  close(g_terminal);
  g_terminal = -1;
}
