// What the lag meter's page shows, drawn from the session's record: the
// chart's points, the table's columns and the line below them. The texts
// come through the caller's lookup, so both languages take the same path.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/LagRecord.h"
#include "ui/Control.h"

namespace shell {

// The chart's span: the last ten minutes.
inline constexpr std::size_t kLagChartSec = 600;

// One point per second up to the newest sample, oldest first: an answer's
// round trip, a mark for a late second, a gap for a second without link or
// without a sample; shaded where Windows could scan, flagged where it
// reported a scan.
std::vector<ui::ChartPoint> LagChartPoints(const std::vector<core::LagSample>& samples,
                                           std::size_t seconds);

struct LagPageContent {
    std::vector<ui::ChartPoint> chart;
    std::array<std::string, 3> timeLabels;
    // The table: row names, then one column per scan state.
    std::string rows, scanning, notScanning;
    // The scans that something else asked for in the chart's span; empty
    // where none can be heard.
    std::string scans;
    std::string state;
};
LagPageContent LagPage(const std::optional<core::LagRecordView>& record,
                       const std::function<std::string(const std::string&)>& text);

}  // namespace shell
