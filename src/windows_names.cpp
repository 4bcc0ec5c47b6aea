#include "windows_names.h"

#include <cstddef>
#include <cstring>

#include "ascii.h"

namespace {

bool IsDeviceStem(const char* stem, std::size_t length) {
  const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  const char* const kNumbered[] = {"com", "lpt"};
  if (length == 3) {
    for (const char* device : kDevices) {
      if (MatchesIgnoringCase(stem, device, 3)) return true;
    }
  } else if (length == 4 && stem[3] >= '1' && stem[3] <= '9') {
    for (const char* device : kNumbered) {
      if (MatchesIgnoringCase(stem, device, 3)) return true;
    }
  }
  return false;
}

}  // namespace

bool IsWindowsDeviceNameWithExtension(const char* name) {
  const char* component = name;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c == '/' || *c == '\\' || *c == ':') component = c + 1;
  }
  const char* dot = std::strchr(component, '.');
  if (!dot) return false;
  // Windows drops trailing dots and blanks: "nul." and "nul . " are bare.
  bool has_extension = false;
  for (const char* c = dot; *c != '\0'; ++c) {
    if (*c != '.' && *c != ' ') has_extension = true;
  }
  std::size_t stem = static_cast<std::size_t>(dot - component);
  while (stem > 0 && component[stem - 1] == ' ') --stem;
  return has_extension && IsDeviceStem(component, stem);
}

std::size_t LengthAsWindowsOpens(const char* path, std::size_t length) {
  while (length > 0 && (path[length - 1] == '.' || path[length - 1] == ' ')) --length;
  return length;
}
