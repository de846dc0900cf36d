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
    // The band of the time labels, a line of the font's height, below the plot.
    const bool timeBand = std::any_of(chart.timeLabels.begin(), chart.timeLabels.end(),
                                      [](const std::string& label) { return !label.empty(); });
    const int textHeight = ScaledForDpi(13, dpi);
    const int plotBottom = timeBand ? std::max(height - textHeight, plotTop + 1) : height;
    const int plotHeight = std::max(plotBottom - plotTop, 1);
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
        bool shaded = false, mark = false, value = false, flagged = false;
        std::uint32_t highest = 0;
        for (std::size_t i = first; i < last && i < n; ++i) {
            shaded |= points[i].shaded;
            flagged |= points[i].flagged;
            mark |= points[i].kind == ui::ChartPoint::Kind::Mark;
            if (points[i].kind == ui::ChartPoint::Kind::Value) {
                value = true;
                highest = std::max(highest, points[i].value);
            }
        }
        if (shaded) fill(dc, x, 0, x + 1, plotBottom, kChartShade);
        if (value) fill(dc, x, plotBottom - heightOf(highest), x + 1, plotBottom, kChartValue);
        if (mark) fill(dc, x, 0, x + 1, markHeight, kChartMark);
        if (flagged) fill(dc, x, plotBottom - markHeight, x + 1, plotBottom, kChartFlag);
    }
    // The scale: a line at every power of ten, its value beside it.
    const Selected selectedFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kChartGrid);
    for (std::uint32_t tick = 1; tick <= chart.highest; tick *= 10) {
        if (tick < chart.lowest) continue;
        const int y = plotBottom - heightOf(tick);
        for (int x = 0; x < width; x += dotStep) SetPixel(dc, x, y, kChartGrid);
        std::string label = std::to_string(tick);
        if (tick * 10 > chart.highest) label += " ms";
        TextOutA(dc, ScaledForDpi(2, dpi),
                 std::clamp(y, plotTop, std::max(plotTop, plotBottom - textHeight)), label.c_str(),
                 static_cast<int>(label.size()));
    }
    if (!timeBand) return;
    for (int x = 0; x < width; ++x) SetPixel(dc, x, plotBottom, kChartGrid);
    SetTextColor(dc, kChartText);
    const UINT oldAlign = GetTextAlign(dc);
    const UINT aligns[] = {TA_LEFT, TA_CENTER, TA_RIGHT};
    const int xs[] = {ScaledForDpi(2, dpi), width / 2, width - ScaledForDpi(2, dpi)};
    for (std::size_t i = 0; i < chart.timeLabels.size(); ++i) {
        SetTextAlign(dc, aligns[i] | TA_TOP);
        TextOutA(dc, xs[i], plotBottom + 1, chart.timeLabels[i].c_str(),
                 static_cast<int>(chart.timeLabels[i].size()));
    }
    SetTextAlign(dc, oldAlign);
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
