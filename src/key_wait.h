// Waiting for one key press on the console, for the "Press any key" pauses.
//
// The wait reads the console keyboard itself, never standard input, so a
// redirected standard input neither ends nor disturbs it. Without a console
// it ends at once. The key is echoed to the console.

#ifndef TRB2CSV_KEY_WAIT_H_
#define TRB2CSV_KEY_WAIT_H_

void WaitForKey();

#endif  // TRB2CSV_KEY_WAIT_H_
