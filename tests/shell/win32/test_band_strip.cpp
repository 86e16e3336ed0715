// SPDX-License-Identifier: GPL-3.0-or-later
// The band strip window as the operator sees it: captured audio taken from
// the monitor tap on the strip's timer and painted with GDI, read back pixel
// by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "link/LinkState.h"
#include "modem/StationState.h"
#include "shell/Layout.h"
#include "shell/LevelMeter.h"
#include "shell/Waterfall.h"
#include "shell/win32/BandStrip.h"

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWidth = 480;  // the strip of a window at its opening size

// A 32-bit top-down picture the strip paints into, as WM_PRINTCLIENT asks.
class Picture {
 public:
  Picture(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<const uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Picture() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  // 0x00RRGGBB
  uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * width_ + x];
  }
  static int Red(uint32_t pixel) { return static_cast<int>(pixel >> 16 & 0xFF); }
  static int Green(uint32_t pixel) { return static_cast<int>(pixel >> 8 & 0xFF); }
  static int Blue(uint32_t pixel) { return static_cast<int>(pixel & 0xFF); }
  static int Brightness(uint32_t pixel) { return Red(pixel) + Green(pixel) + Blue(pixel); }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  const uint32_t* pixels_ = nullptr;
};

class BandStripTest : public testing::Test {
 protected:
  void SetUp() override {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    // The main window's tests may have registered the class already.
    ASSERT_TRUE(RegisterBandStripClass(instance) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, kWidth, 400, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(parent_, nullptr);
    strip_ = CreateBandStrip(parent_, instance, station_);
    ASSERT_NE(strip_, nullptr);
    MoveWindow(strip_, 0, 0, kWidth, kBandStripHeight, FALSE);
  }
  void TearDown() override { DestroyWindow(parent_); }

  // `seconds` of a sine into the tap, the strip ticking as its timer would
  // whenever the tap is nearly full.
  void Capture(double hz, double amplitude, double seconds) {
    std::vector<int16_t> block(kAudioBlockSamples);
    const int blocks = static_cast<int>(seconds * kSampleRateHz / kAudioBlockSamples);
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < kAudioBlockSamples; ++i)
        block[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * kPi * hz * (b * kAudioBlockSamples + i) / kSampleRateHz)));
      ASSERT_TRUE(station_.monitor_tap.Put(block.data()));
      if (b % 8 == 7) Tick();
    }
    Tick();
  }
  void Tick() { SendMessageA(strip_, WM_TIMER, kBandStripTimerId, 0); }
  void PaintInto(const Picture& picture) {
    SendMessageA(strip_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Dc()), PRF_CLIENT);
  }

  LinkState link_;
  StationState station_{link_, 4};
  HWND parent_ = nullptr;
  HWND strip_ = nullptr;
};

TEST_F(BandStripTest, AToneLightsItsColumnOnTheTopRowAndTheMeterShowsItsLevel) {
  // 600 Hz and 2400 Hz lie outside the default mode's band and search range
  // (1000..2000 Hz in 8/500), so no mark covers either column. A sine of
  // amplitude 3277 is -20 dBFS peak, -23 dBFS RMS: inside the good region.
  Capture(600.0, 3277.0, 2.0);
  Picture picture(kWidth, kBandStripHeight);
  PaintInto(picture);
  const BandStripLayout layout = ComputeBandStripLayout(ControlRect{0, 0, kWidth, kBandStripHeight});
  const ControlRect& waterfall = layout.waterfall;
  const int tone_x = waterfall.x + Waterfall::XForFrequency(600.0, waterfall.width);
  const int quiet_x = waterfall.x + Waterfall::XForFrequency(2400.0, waterfall.width);
  const int top = waterfall.y;
  const int bottom = waterfall.y + waterfall.height - 1;

  // The newest line is on top: the tone is near white there (30 dB and more
  // above the floor), the quiet column stays dark.
  EXPECT_GT(Picture::Brightness(picture.At(tone_x, top)), 600) << std::hex << picture.At(tone_x, top);
  EXPECT_LT(Picture::Brightness(picture.At(quiet_x, top)), 200) << std::hex << picture.At(quiet_x, top);
  // 2 s are 20 lines of the 90: the bottom rows are still from before the
  // audio, dark in the tone's column too (a picture drawn upside down would
  // have the tone at the bottom).
  EXPECT_LT(Picture::Brightness(picture.At(tone_x, bottom)), 200) << std::hex << picture.At(tone_x, bottom);

  // The meter's bar is filled up to -23 dBFS: lit at -30 dBFS, unlit at -14
  // dBFS (between the peak line at -20 and the good region's top at -10).
  const ControlRect& bar = layout.meter_bar;
  const auto bar_at = [&](double dbfs) {
    const int y = bar.y + bar.height - static_cast<int>(std::lround(LevelMeter::ScaleFraction(dbfs) * bar.height));
    return picture.At(bar.x + bar.width / 2, y);
  };
  EXPECT_GT(Picture::Green(bar_at(-30.0)), 150) << std::hex << bar_at(-30.0);  // the good region's bright green
  EXPECT_LT(Picture::Brightness(bar_at(-14.0)), Picture::Brightness(bar_at(-30.0)) / 2) << std::hex << bar_at(-14.0);
}

TEST_F(BandStripTest, WithoutAudioTheMeterFallsToSilenceAndTheWaterfallStops) {
  Capture(600.0, 3277.0, 1.0);
  Picture before(kWidth, kBandStripHeight);
  PaintInto(before);
  // The capture stops: half a second of ticks later the bar is empty, and
  // the waterfall has not moved (no line without audio).
  for (int tick = 0; tick < 5; ++tick) Tick();
  Picture after(kWidth, kBandStripHeight);
  PaintInto(after);
  const BandStripLayout layout = ComputeBandStripLayout(ControlRect{0, 0, kWidth, kBandStripHeight});
  const ControlRect& bar = layout.meter_bar;
  const int bar_x = bar.x + bar.width / 2;
  const int bottom_y = bar.y + bar.height - 2;
  EXPECT_GT(Picture::Green(before.At(bar_x, bottom_y)), 150);
  EXPECT_LT(Picture::Brightness(after.At(bar_x, bottom_y)), 200) << std::hex << after.At(bar_x, bottom_y);
  const ControlRect& waterfall = layout.waterfall;
  for (int y = waterfall.y; y < waterfall.y + waterfall.height; y += 7)
    EXPECT_EQ(after.At(waterfall.x + 20, y), before.At(waterfall.x + 20, y)) << y;
}

}  // namespace
}  // namespace quillon
