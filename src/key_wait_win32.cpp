// The key wait on the Windows console.
//
// The keyboard is read through CONIN$ with line input, echo and control-key
// processing switched off, one input event at a time, without flushing the
// events that came before. A key with a character ends the wait; a key
// without one ends it if it has a two-byte code in the PC key table. The
// first byte is echoed to CONOUT$ and the second is held back: the next wait
// takes it and ends at once, without reading.

#include <windows.h>

#include <cstring>

#include "key_wait.h"
#include "pc_key_table.h"

namespace {

bool g_has_held_back_key = false;
unsigned char g_held_back_key = 0;

HANDLE OpenConsole(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

// Nothing can be done if the console cannot be written.
void WriteToConsole(const void* bytes, DWORD size) {
  HANDLE output = OpenConsole("CONOUT$");
  if (output == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteConsoleA(output, bytes, size, &written, nullptr);
  CloseHandle(output);
}

// Reads events until a key ends the wait; false if reading fails.
bool ReadKey(HANDLE input, unsigned char* key, bool* has_second_byte) {
  for (;;) {
    INPUT_RECORD record;
    DWORD events_read = 0;
    if (!ReadConsoleInputA(input, &record, 1, &events_read) || events_read != 1) return false;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;

    const KEY_EVENT_RECORD& event = record.Event.KeyEvent;
    const unsigned char character = static_cast<unsigned char>(event.uChar.AsciiChar);
    if (character != 0) {
      key[0] = character;
      *has_second_byte = false;
      return true;
    }
    const DWORD state = event.dwControlKeyState;
    const KeyModifiers modifiers = {(state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0,
                                    (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0,
                                    (state & SHIFT_PRESSED) != 0};
    std::optional<PcKeyCode> code =
        LookUpPcKeyCode(event.wVirtualKeyCode, (state & ENHANCED_KEY) != 0, modifiers);
    if (code) {
      key[0] = code->first;
      key[1] = code->second;
      *has_second_byte = true;
      return true;
    }
  }
}

}  // namespace

void WaitForKey(const char* prompt) {
  if (g_has_held_back_key) {
    g_has_held_back_key = false;
    return;
  }

  HANDLE input = OpenConsole("CONIN$");
  if (input == INVALID_HANDLE_VALUE) return;
  DWORD saved_mode = 0;
  GetConsoleMode(input, &saved_mode);
  SetConsoleMode(input, 0);
  // Standard output is a console if it has a console mode, and a process has
  // only one console. Shown once the mode is set, so that a key pressed on
  // seeing it is read as a key, Ctrl+C too.
  DWORD output_mode;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &output_mode)) {
    WriteToConsole(prompt, static_cast<DWORD>(std::strlen(prompt)));
  }
  unsigned char key[2];
  bool has_second_byte = false;
  bool got_key = ReadKey(input, key, &has_second_byte);
  SetConsoleMode(input, saved_mode);
  CloseHandle(input);
  if (!got_key) return;

  if (has_second_byte) {
    g_held_back_key = key[1];
    g_has_held_back_key = true;
  }
  WriteToConsole(key, 1);
}
