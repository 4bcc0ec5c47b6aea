// Waiting for one key press on the console, for the "Press any key" pauses.
//
// The wait reads the console keyboard itself, never standard input, so a
// redirected standard input neither ends nor disturbs it. Without a console
// it ends at once. The key is echoed to the console.

#ifndef TRB2CSV_KEY_WAIT_H_
#define TRB2CSV_KEY_WAIT_H_

// prompt is the text just written to standard output. Where standard output
// does not go to the console that the wait reads (a file, a pipe), the wait
// shows the prompt there as well, so that nobody waits in front of a screen
// that does not say so.
void WaitForKey(const char* prompt);

#endif  // TRB2CSV_KEY_WAIT_H_
