// The strip chart as it lands in a bitmap: its columns read back pixel by pixel.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/Win32Chart.h"
#include "ui/Form.h"

namespace {

namespace w = platform::win32;
using Kind = ui::ChartPoint::Kind;

TEST(Win32Chart, EachPointIsItsColumnsValueMarkOrGapOverItsGround) {
    ui::Form form("F_chart");
    ui::Chart chart(form, "chart", nullptr, {0, 0, 400, 50});
    chart.setPoints({{Kind::Value, true, 100},
                     {Kind::Mark, false, 0},
                     {Kind::Gap, true, 0},
                     {Kind::Value, false, 1}});
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 50);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc && bitmap);
    HGDIOBJ old = SelectObject(dc, bitmap);
    w::DrawChart(dc, 400, 50, chart, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));

    // Each point takes a hundred columns; the scale's labels sit at the left
    // and its dotted lines on every third column, away from these.
    const struct {
        int x, y;
        COLORREF colour;
        const char* what;
    } pixels[] = {
        {61, 48, w::kChartValue, "a value's bar from the bottom"},
        {61, 10, w::kChartValue, "the highest value fills the height"},
        {61, 2, w::kChartShade, "over the shaded ground"},
        {161, 1, w::kChartMark, "a mark at the top"},
        {161, 48, w::kChartGround, "and nothing below it"},
        {262, 48, w::kChartShade, "a gap shows its ground"},
        {262, 1, w::kChartShade, "and no mark"},
        {361, 49, w::kChartValue, "the lowest value is a pixel high"},
        {361, 47, w::kChartGround, "and no more"},
    };
    for (const auto& p : pixels) EXPECT_EQ(GetPixel(dc, p.x, p.y), p.colour) << p.what;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

}  // namespace
