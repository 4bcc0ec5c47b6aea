// Every signal that can be held off is held for the life of the object, and
// the earlier mask restored when it goes: a signal that came meanwhile then
// takes effect. For steps that no signal may come between.

#ifndef TRB2CSV_SIGNAL_HOLD_POSIX_H_
#define TRB2CSV_SIGNAL_HOLD_POSIX_H_

#include <signal.h>

class SignalHold {
 public:
  SignalHold() {
    sigset_t all_signals;
    sigfillset(&all_signals);
    sigprocmask(SIG_BLOCK, &all_signals, &previous_mask_);
  }
  ~SignalHold() { sigprocmask(SIG_SETMASK, &previous_mask_, nullptr); }
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t previous_mask_;
};

#endif  // TRB2CSV_SIGNAL_HOLD_POSIX_H_
