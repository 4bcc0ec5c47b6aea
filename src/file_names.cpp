#include "file_names.h"

#include <cstddef>
#include <cstring>

namespace {

char ToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDeviceStem(const char* stem, std::size_t length) {
  const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  const char* const kNumbered[] = {"COM", "LPT"};
  char upper[5] = "";
  if (length < 3 || length > 4) return false;
  for (std::size_t i = 0; i < length; ++i) upper[i] = ToUpper(stem[i]);
  if (length == 3) {
    for (const char* device : kDevices) {
      if (std::strcmp(upper, device) == 0) return true;
    }
    return false;
  }
  for (const char* device : kNumbered) {
    if (std::strncmp(upper, device, 3) == 0 && upper[3] >= '1' && upper[3] <= '9') return true;
  }
  return false;
}

}  // namespace

bool IsDeviceNameWithExtension(const char* name) {
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
