#include "platform/win32/Win32Chart.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

namespace {

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using GdiObject = UniqueHandle<HGDIOBJ, DeleteGdiObject>;
struct DeleteMemoryDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using MemoryDc = UniqueHandle<HDC, DeleteMemoryDc>;

// Selected into a DC for the life of the object, then the old one back.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(dc_, old_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT rc{left, top, right, bottom};
    SetBkColor(dc, colour);
    // The cheapest solid fill there is, and no brush to make.
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

}  // namespace

void DrawChart(HDC dc, int width, int height, const ui::Chart& chart, HFONT font, int dpi) {
    fill(dc, 0, 0, width, height, kChartGround);
    const int markHeight = ScaledForDpi(kChartMarkHeight, dpi);
    const int dotStep = std::max(ScaledForDpi(3, dpi), 1);
    const auto& points = chart.points();
    const double lowest = std::log(std::max<double>(chart.lowest, 1));
    const double span = std::max(std::log(std::max<double>(chart.highest, 2)) - lowest, 1e-9);
    const int plotTop = markHeight + 1;
    const int plotHeight = std::max(height - plotTop, 1);
    // Height above the bottom edge of a value, at least a pixel for one that
    // is there at all.
    const auto heightOf = [&](std::uint32_t value) {
        const double share = (std::log(std::max<double>(value, 1)) - lowest) / span;
        return std::clamp(static_cast<int>(std::lround(share * plotHeight)), 1, plotHeight);
    };
    const std::size_t n = points.size();
    for (int x = 0; x < width && n > 0; ++x) {
        // The points that fall on this column: several when there are more
        // points than columns, else the one that covers it.
        const std::size_t first = static_cast<std::size_t>(x) * n / static_cast<std::size_t>(width);
        const std::size_t last = std::max(
            first + 1, static_cast<std::size_t>(x + 1) * n / static_cast<std::size_t>(width));
        bool shaded = false, mark = false, value = false;
        std::uint32_t highest = 0;
        for (std::size_t i = first; i < last && i < n; ++i) {
            shaded |= points[i].shaded;
            mark |= points[i].kind == ui::ChartPoint::Kind::Mark;
            if (points[i].kind == ui::ChartPoint::Kind::Value) {
                value = true;
                highest = std::max(highest, points[i].value);
            }
        }
        if (shaded) fill(dc, x, 0, x + 1, height, kChartShade);
        if (value) fill(dc, x, height - heightOf(highest), x + 1, height, kChartValue);
        if (mark) fill(dc, x, 0, x + 1, markHeight, kChartMark);
    }
    // The scale: a line at every power of ten, its value beside it.
    const Selected selectedFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kChartGrid);
    for (std::uint32_t tick = 1; tick <= chart.highest; tick *= 10) {
        if (tick < chart.lowest) continue;
        const int y = height - heightOf(tick);
        for (int x = 0; x < width; x += dotStep) SetPixel(dc, x, y, kChartGrid);
        std::string label = std::to_string(tick);
        if (tick * 10 > chart.highest) label += " ms";
        TextOutA(dc, ScaledForDpi(2, dpi),
                 std::clamp(y, plotTop, std::max(plotTop, height - ScaledForDpi(12, dpi))),
                 label.c_str(), static_cast<int>(label.size()));
    }
}

void PaintChart(HWND hwnd, const ui::Chart& chart, HFONT font, int dpi) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(hwnd, &paint);
    RECT client{};
    GetClientRect(hwnd, &client);
    const int width = client.right, height = client.bottom;
    MemoryDc memory(CreateCompatibleDC(target));
    GdiObject bitmap(memory ? CreateCompatibleBitmap(target, width, height) : nullptr);
    if (bitmap) {
        const Selected selected(memory.get(), bitmap.get());
        DrawChart(memory.get(), width, height, chart, font, dpi);
        BitBlt(target, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    } else {
        DrawChart(target, width, height, chart, font, dpi);
    }
    EndPaint(hwnd, &paint);
}

}  // namespace platform::win32
