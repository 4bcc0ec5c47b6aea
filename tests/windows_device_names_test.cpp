#include "windows_device_names.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsDeviceNames, DeviceNamesWithAnExtensionAreTold) {
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

}  // namespace
