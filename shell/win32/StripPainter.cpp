// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/StripPainter.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <type_traits>

#include "engine/ModeTable.h"
#include "shell/Layout.h"
#include "shell/StripTexts.h"
#include "shell/Waterfall.h"

namespace quillon {
namespace {

constexpr COLORREF kBackground = RGB(192, 192, 192);  // the main window's light grey
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kBarEmpty = RGB(40, 40, 40);
constexpr COLORREF kBarGoodRegion = RGB(0, 80, 0);  // shows where the level belongs
constexpr COLORREF kPeakLine = RGB(255, 255, 255);
constexpr COLORREF kClipLine = RGB(255, 0, 0);
constexpr COLORREF kReportMark = RGB(220, 0, 0);

struct VerdictColours {
  COLORREF bar;   // the level's fill on the dark bar
  COLORREF text;  // the verdict word on the light grey
};

VerdictColours ColoursFor(LevelVerdict verdict) {
  switch (verdict) {
    case LevelVerdict::kGood: return {RGB(40, 220, 40), RGB(0, 110, 0)};
    case LevelVerdict::kAcceptable: return {RGB(230, 200, 0), kInk};
    case LevelVerdict::kTooWeak: return {RGB(230, 140, 0), RGB(170, 80, 0)};
    case LevelVerdict::kClipping: return {RGB(255, 40, 40), RGB(200, 0, 0)};
  }
  return {RGB(230, 200, 0), kInk};
}

RECT ToRect(const ControlRect& at) { return RECT{at.x, at.y, at.x + at.width, at.y + at.height}; }

// Solid fills and lines through the DC's own brush and pen, so that nothing
// is created and deleted for each of them.
void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void HorizontalLine(HDC dc, int left, int right, int y, COLORREF colour) {
  Fill(dc, RECT{left, y, right, y + 1}, colour);
}

void VerticalLine(HDC dc, int x, int top, int bottom, COLORREF colour) {
  Fill(dc, RECT{x, top, x + 1, bottom}, colour);
}

// Selects a GDI object into a DC for the scope and puts the previous one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DeleteMemoryDc {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, DeleteGdiObject>;
using OwnedDc = std::unique_ptr<std::remove_pointer_t<HDC>, DeleteMemoryDc>;

HFONT MakeFont(int pixel_height) {
  // Cyrillic glyphs whatever the system's code page: the strip's words are
  // cp1251.
  return CreateFontA(-pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

void Line(HDC dc, const ControlRect& at, const std::string& text, COLORREF colour) {
  RECT rect = ToRect(at);
  SetTextColor(dc, colour);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintWaterfall(HDC dc, const ControlRect& at, const Waterfall& waterfall) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = waterfall.Width();
  info.bmiHeader.biHeight = -waterfall.Height();  // negative: the first row is the top one
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;  // 0x00RRGGBB in memory order is the DIB's B, G, R, unused
  info.bmiHeader.biCompression = BI_RGB;
  // Whole columns are repeated or dropped, never blended: a mark stays one
  // sharp colour.
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, at.x, at.y, at.width, at.height, 0, 0, waterfall.Width(), waterfall.Height(),
                waterfall.Pixels(), &info, DIB_RGB_COLORS, SRCCOPY);
}

// Ticks every 100 Hz, labels every 500 Hz, and under the waterfall a red
// arrow where the last frame's centre came in.
void PaintFrequencyScale(HDC dc, const ControlRect& at, const StripContent& content) {
  const int right = at.x + at.width;
  SetTextColor(dc, kInk);
  for (int hz = 100; hz <= 3000; hz += 100) {
    const int x = at.x + Waterfall::XForFrequency(hz, at.width);
    if (x < at.x || x >= right) continue;
    const bool labelled = hz % 500 == 0;
    VerticalLine(dc, x, at.y, at.y + (labelled ? 4 : 2), kInk);
    if (!labelled) continue;
    const std::string label = std::to_string(hz);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    TextOutA(dc, x, at.y + 3, label.c_str(), static_cast<int>(label.size()));
  }
  SetTextAlign(dc, TA_RIGHT | TA_TOP);
  TextOutA(dc, right - 2, at.y + 3, "Hz", 2);
  SetTextAlign(dc, TA_LEFT | TA_TOP);

  if (!content.has_report) return;
  const int x = at.x + Waterfall::XForFrequency(kCentreFrequencyHz + content.report_offset_hz, at.width);
  if (x < at.x || x >= right) return;
  const POINT arrow[] = {{x, at.y}, {x - 4, at.y + 6}, {x + 4, at.y + 6}};
  SetDCBrushColor(dc, kReportMark);
  SetDCPenColor(dc, kReportMark);
  Selection brush(dc, GetStockObject(DC_BRUSH));
  Selection pen(dc, GetStockObject(DC_PEN));
  Polygon(dc, arrow, 3);
}

// y of a dBFS level on the meter's bar.
int MeterY(const ControlRect& bar, double dbfs) {
  return bar.y + bar.height - static_cast<int>(std::lround(LevelMeter::ScaleFraction(dbfs) * bar.height));
}

void PaintMeter(HDC dc, const BandStripLayout& layout, const LevelReading& level, HFONT scale_font,
                HFONT text_font) {
  const ControlRect& bar = layout.meter_bar;
  const int left = bar.x;
  const int right = bar.x + bar.width;
  Fill(dc, ToRect(bar), kBarEmpty);
  const int good_top = MeterY(bar, LevelMeter::kGoodHighDbfs);
  const int good_bottom = MeterY(bar, LevelMeter::kGoodLowDbfs);
  Fill(dc, RECT{left, good_top, right, good_bottom}, kBarGoodRegion);
  const VerdictColours colours = ColoursFor(level.verdict);
  Fill(dc, RECT{left + 2, MeterY(bar, level.rms_dbfs), right - 2, bar.y + bar.height}, colours.bar);
  HorizontalLine(dc, left, right, MeterY(bar, level.peak_dbfs), kPeakLine);
  HorizontalLine(dc, left, right, MeterY(bar, LevelMeter::kClipDbfs), kClipLine);

  // The scale: a tick and a number every 10 dB, and the good region as a
  // green bracket between the bar and the numbers.
  const ControlRect& scale = layout.meter_scale;
  VerticalLine(dc, scale.x, good_top, good_bottom, ColoursFor(LevelVerdict::kGood).text);
  VerticalLine(dc, scale.x + 1, good_top, good_bottom, ColoursFor(LevelVerdict::kGood).text);
  {
    Selection font(dc, scale_font);
    SetTextColor(dc, kInk);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    for (int dbfs = 0; dbfs >= static_cast<int>(LevelMeter::kScaleBottomDbfs); dbfs -= 10) {
      const int y = MeterY(bar, dbfs);
      HorizontalLine(dc, scale.x + 3, scale.x + 7, y, kInk);
      const std::string label = std::to_string(dbfs);
      TextOutA(dc, scale.x + 9, y - metrics.tmHeight / 2, label.c_str(), static_cast<int>(label.size()));
    }
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    TextOutA(dc, scale.x + scale.width, scale.y, "dBFS", 4);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
  }

  Selection font(dc, text_font);
  const ControlRect& reading = layout.meter_reading;
  const ControlRect level_line{reading.x, reading.y, reading.width, reading.height / 2};
  const ControlRect verdict_line{reading.x, reading.y + reading.height / 2, reading.width, reading.height / 2};
  Line(dc, level_line, LevelText(level), kInk);
  Line(dc, verdict_line, LevelVerdictText(level.verdict), colours.text);
}

}  // namespace

StripPainter::StripPainter() : text_font_(MakeFont(11)), scale_font_(MakeFont(10)) {}

StripPainter::~StripPainter() {
  DeleteObject(text_font_);
  DeleteObject(scale_font_);
}

void StripPainter::Paint(HDC target, int width, int height, const StripContent& content) const {
  if (width <= 0 || height <= 0) return;
  OwnedDc memory(CreateCompatibleDC(target));
  OwnedBitmap bitmap(memory ? CreateCompatibleBitmap(target, width, height) : nullptr);
  if (!bitmap) {  // no memory for the picture: drawn straight on, flickering but shown
    PaintInto(target, width, height, content);
    return;
  }
  Selection picture(memory.get(), bitmap.get());
  PaintInto(memory.get(), width, height, content);
  BitBlt(target, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

void StripPainter::PaintInto(HDC dc, int width, int height, const StripContent& content) const {
  Fill(dc, RECT{0, 0, width, height}, kBackground);
  const BandStripLayout layout = ComputeBandStripLayout(ControlRect{0, 0, width, height});
  SetBkMode(dc, TRANSPARENT);
  PaintWaterfall(dc, layout.waterfall, content.waterfall);
  {
    Selection font(dc, scale_font_);
    PaintFrequencyScale(dc, layout.frequency_scale, content);
  }
  {
    Selection font(dc, text_font_);
    Line(dc, layout.report_line, content.report_line, kInk);
    Line(dc, layout.station_line, content.station_line, kInk);
  }
  PaintMeter(dc, layout, content.level, scale_font_, text_font_);
}

}  // namespace quillon
