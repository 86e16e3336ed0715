// SPDX-License-Identifier: GPL-3.0-or-later
// The devices chosen in the menus, remembered by name in quillon.conf and
// found again at start wherever the list now has them.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "modem/audio/AudioDevices.h"
#include "shell/DeviceMemory.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

// Two sound cards; a USB codec plugged in later goes first in the list.
class Cards : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection) override {
    if (usb_plugged) return {"hw:CARD=USB,DEV=0", "hw:CARD=PCH,DEV=0", "hw:CARD=HDMI,DEV=3"};
    return {"hw:CARD=PCH,DEV=0", "hw:CARD=HDMI,DEV=3"};
  }
  std::unique_ptr<AudioStream> Open(AudioDirection, int) override { return nullptr; }
  bool usb_plugged = false;
};

std::string ConfigText(const TempHome& home) {
  std::ifstream file(home.File("quillon.conf"));
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(DeviceMemory, ChoiceStaysWithTheCardWhenAnotherIsPluggedIn) {
  TempHome home;
  {
    std::ofstream file(home.File("quillon.conf"));
    file << "# keyed by the operator\nptt = vox\n";
  }
  auto owned = std::make_unique<Cards>();
  Cards& cards = *owned;
  AudioDevices devices(std::move(owned));
  SettingsRecord record;
  RememberDevice(home.Path(), &devices, kFirstOutputDeviceMenuId + 1);  // HDMI
  RememberDevice(home.Path(), &devices, kDefaultInputMenuId);
  record.SetOutputMenuId(kFirstOutputDeviceMenuId + 1);
  const std::string text = ConfigText(home);
  EXPECT_NE(text.find("output_device = hw:CARD=HDMI,DEV=3"), std::string::npos) << text;
  EXPECT_NE(text.find("input_device = default"), std::string::npos) << text;
  EXPECT_NE(text.find("# keyed by the operator\nptt = vox\n"), std::string::npos) << text;  // kept

  cards.usb_plugged = true;
  UseRememberedDevices(home.Path(), devices, record);
  EXPECT_EQ(record.OutputMenuId(), kFirstOutputDeviceMenuId + 2);
  EXPECT_EQ(record.InputMenuId(), kDefaultInputMenuId);

  // A card that is gone leaves init.ini's choice as it was; so does a name
  // never stored, and a device the menu cannot show (beyond its 16 items).
  cards.usb_plugged = false;
  RememberDevice(home.Path(), &devices, kFirstInputDeviceMenuId + 9);  // no such device: nothing stored
  EXPECT_EQ(ConfigText(home).find("input_device = default"), text.find("input_device = default"));
  {
    std::ofstream file(home.File("quillon.conf"));
    file << "output_device = hw:CARD=Gone,DEV=0\n";
  }
  record.SetOutputMenuId(kFirstOutputDeviceMenuId);
  record.SetInputMenuId(kFirstInputDeviceMenuId + 1);
  UseRememberedDevices(home.Path(), devices, record);
  EXPECT_EQ(record.OutputMenuId(), kFirstOutputDeviceMenuId);
  EXPECT_EQ(record.InputMenuId(), kFirstInputDeviceMenuId + 1);
}

}  // namespace
}  // namespace quillon
