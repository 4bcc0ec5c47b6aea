#include "windows_names.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(WindowsNames, DeviceNamesWithAnExtensionAreTold) {
  const struct {
    const char* name;
    bool device;
  } kCases[] = {
      {"com1.csv", true},
      {"AUX.csv", true},
      {"nul.txt", true},
      {"Nul .txt", true},
      {"lpt9.a.b", true},
      {"CON.csv.", true},
      {"dir\\com3.csv", true},
      {"dir/prn.csv", true},
      {"C:con.x", true},
      {"NUL", false},
      {"nul.", false},
      {"nul . ", false},
      {"com0.csv", false},
      {"com10.csv", false},
      {"console.csv", false},
      {"xcon.csv", false},
      {"con", false},
      {"com1\\track.csv", false},
      {"KeloTrackTail.csv", false},
      {"", false},
      {".csv", false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(IsWindowsDeviceNameWithExtension(c.name), c.device) << c.name;
}

// Windows drops the dots and blanks at the end of a path ("\\." is gone
// from the full path already).
TEST(WindowsNames, DotsAndBlanksAtTheEndAreDropped) {
  const struct {
    const char* path;
    const char* as_opened;
  } kCases[] = {
      {"Z:\\t\\old.trb.", "Z:\\t\\old.trb"},    {"Z:\\t\\old.trb .", "Z:\\t\\old.trb"},
      {"Z:\\t\\old.trb. . ", "Z:\\t\\old.trb"}, {"Z:\\t\\old.trb", "Z:\\t\\old.trb"},
      {"Z:\\t\\.trb", "Z:\\t\\.trb"},           {"...", ""},
      {"Z:\\a b.csv", "Z:\\a b.csv"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(std::string(c.path, LengthAsWindowsOpens(c.path, std::strlen(c.path))), c.as_opened)
        << c.path;
  }
}

}  // namespace
