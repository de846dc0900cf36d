// The strip chart's drawing: into an off-screen bitmap first, then onto the
// window in one go, so that a refresh a second does not flicker.
#pragma once

#include <windows.h>

#include "platform/win32/Win32Dpi.h"
#include "ui/Control.h"

namespace platform::win32 {

// Colours of the chart, for the drawing and for whoever checks it.
inline constexpr COLORREF kChartGround = RGB(255, 255, 255);
inline constexpr COLORREF kChartShade = RGB(214, 228, 250);
inline constexpr COLORREF kChartValue = RGB(0, 110, 60);
inline constexpr COLORREF kChartMark = RGB(210, 30, 30);
inline constexpr COLORREF kChartGrid = RGB(170, 170, 170);
// A second in which Windows reported a scan, and the time labels.
inline constexpr COLORREF kChartFlag = RGB(230, 140, 0);
inline constexpr COLORREF kChartText = RGB(90, 90, 90);
// The band at the top that marks take, in 96-DPI units.
inline constexpr int kChartMarkHeight = 4;

// Draws the whole chart into a DC of that size, at the display's scale.
void DrawChart(HDC dc, int width, int height, const ui::Chart& chart, HFONT font,
               int dpi = kDesignDpi);
// Answers WM_PAINT of the chart's window.
void PaintChart(HWND hwnd, const ui::Chart& chart, HFONT font, int dpi = kDesignDpi);

}  // namespace platform::win32
