#include "shell/LagPage.h"

#include <algorithm>

#include "text/Messages.h"

namespace shell {

namespace {

using text::Filled;

std::string column(const std::string& heading, const core::LagFigures& f, bool scansHeard) {
    std::string text = heading;
    const auto line = [&](std::uint32_t value, const char* unit) {
        text += "\r\n";
        text += unit != nullptr && f.answers == 0 ? std::string("-") : std::to_string(value);
        if (unit != nullptr && f.answers > 0) text += unit;
    };
    text += "\r\n" + std::to_string(f.seconds) + " s";
    for (const std::uint32_t ms : {f.medianMs, f.p99Ms, f.worstMs}) line(ms, " ms");
    line(f.spikes, nullptr);
    text += "\r\n" + (scansHeard ? std::to_string(f.spikesNearScan) : std::string("-"));
    return text;
}

}  // namespace

std::vector<ui::ChartPoint> LagChartPoints(const std::vector<core::LagSample>& samples,
                                           std::size_t seconds) {
    std::vector<ui::ChartPoint> points(seconds);
    if (samples.empty() || seconds == 0) return points;
    const std::int64_t newest = samples.back().localTime;
    for (const core::LagSample& s : samples) {
        // A clock set back leaves samples newer than the newest: not shown.
        const std::int64_t age = newest - s.localTime;
        if (age < 0 || age >= static_cast<std::int64_t>(seconds)) continue;
        ui::ChartPoint& p = points[seconds - 1 - static_cast<std::size_t>(age)];
        p.shaded = s.scanOn;
        p.flagged = s.scans != core::kScansUnknown && s.scans > 0;
        switch (s.result) {
            case core::LagResult::Answer:
                p.kind = ui::ChartPoint::Kind::Value;
                p.value = s.rttMs;
                break;
            case core::LagResult::Late:
                p.kind = ui::ChartPoint::Kind::Mark;
                p.value = 0;
                break;
            case core::LagResult::NoLink:
                p.kind = ui::ChartPoint::Kind::Gap;
                p.value = 0;
                break;
        }
    }
    return points;
}

LagPageContent LagPage(const std::optional<core::LagRecordView>& record,
                       const std::function<std::string(const std::string&)>& text) {
    LagPageContent page;
    page.chart.resize(kLagChartSec);
    page.timeLabels = {text("lag_chart_start"), text("lag_chart_middle"), text("lag_chart_end")};
    if (!record) {
        page.state = text("lag_norecord");
        return page;
    }
    page.chart = LagChartPoints(record->samples, kLagChartSec);
    // A finished test's two minutes stand in the table until the next one;
    // otherwise the whole hour does.
    const bool finished = record->test.state == core::LagTestState::Finished;
    const std::vector<core::LagSample> test =
        finished ? core::LastLagTest(record->samples) : std::vector<core::LagSample>{};
    const std::vector<core::LagSample>& shown = finished ? test : record->samples;
    const core::LagFigures on = core::FiguresOf(shown, true);
    const core::LagFigures off = core::FiguresOf(shown, false);
    page.rows = text(finished ? "lag_rows_test" : "lag_rows_hour");
    const bool scansHeard = core::ScansOf(shown, std::nullopt).has_value();
    page.scanning = column(text("lag_col_scanning"), on, scansHeard);
    page.notScanning = column(text("lag_col_notscanning"), off, scansHeard);
    // While background scan is off, a scan is one that something else asked for.
    const auto& samples = record->samples;
    const std::size_t recent = std::min(samples.size(), kLagChartSec);
    const std::vector<core::LagSample> chartSpan(
        samples.end() - static_cast<std::ptrdiff_t>(recent), samples.end());
    if (const auto others = core::ScansOf(chartSpan, false))
        page.scans = Filled(text("lag_scans"), {std::to_string(*others)});
    switch (record->test.state) {
        case core::LagTestState::Running:
            page.state =
                Filled(text("lag_test_running"), {std::to_string(record->test.secondsLeft)});
            break;
        case core::LagTestState::Finished:
            // Both minutes scanning, or neither: a switch did not take.
            page.state = on.seconds == 0 || off.seconds == 0
                             ? text("lag_test_noswitch")
                             : Filled(text("lag_verdict"),
                                      {std::to_string(on.spikes), std::to_string(off.spikes)});
            break;
        case core::LagTestState::Refused:
            page.state = text("lag_test_noswitch");
            break;
        case core::LagTestState::LinkLost:
            page.state = text("lag_test_linklost");
            break;
        case core::LagTestState::Ended:
            page.state = text("lag_test_ended");
            break;
        case core::LagTestState::Paused:
            page.state = text("lag_test_paused");
            break;
        case core::LagTestState::None:
            page.state = text("lag_legend");
            break;
    }
    // A test asked for now would wait, silently, for the pause to end. The
    // verdict of one that finished stays: it is what the page is for.
    if (record->test.controlPaused && record->test.state != core::LagTestState::Finished)
        page.state = text("lag_test_afterpause");
    return page;
}

}  // namespace shell
