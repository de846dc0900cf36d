#include "core/ScriptRun.h"

#include <algorithm>

#include "core/LagMeter.h"
#include "core/TrayIcon.h"
#include "text/Messages.h"

namespace core {

namespace {

constexpr const char* kNoRunLine = "no hidden run controls in this session";

// A whole number of minutes within the pause's bounds, digits only.
std::optional<std::uint32_t> MinutesOf(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto minutes = static_cast<std::uint32_t>(std::stoul(text));
    if (minutes < 1 || minutes > kPauseMostMinutes) return std::nullopt;
    return minutes;
}

bool MayScan(const LagRecordView& record) {
    return record.samples.empty() || record.samples.back().scanOn;
}

// Whether the record shows the request carried out.
bool Taken(const LagRecordView& record, const ControlRequest& request) {
    if (!record.run) return false;
    const bool paused = record.run->reason == static_cast<std::uint8_t>(TrayReason::Paused);
    if (request.kind == ControlRequest::Kind::Resume) return !paused;
    return paused && record.run->pauseMinutesLeft == request.minutes;
}

}  // namespace

bool IsScriptRun(const std::vector<std::string>& args) {
    return args.size() >= 2 &&
           (args[1] == kPauseSwitch || args[1] == kResumeSwitch || args[1] == kStatusSwitch);
}

std::string StatusLine(const LagRecordView& record) {
    const auto text = [](const std::string& key) { return text::LookupText("english", key); };
    const LagRunState run = record.run.value_or(LagRunState{});
    // A reason this build does not know is told as none.
    const auto reason = record.samples.empty() ? TrayReason::Waiting
                        : run.reason > static_cast<std::uint8_t>(TrayReason::OnBattery)
                            ? TrayReason::None
                            : static_cast<TrayReason>(run.reason);
    std::string line =
        TrayState(MayScan(record), reason, run.serviceWay, run.pauseMinutesLeft, run.program, text);
    const std::size_t count = std::min<std::size_t>(record.samples.size(), 60);
    const std::vector<LagSample> lastMinute(
        record.samples.end() - static_cast<std::ptrdiff_t>(count), record.samples.end());
    const std::string minute = TrayMinute(lastMinute, text);
    if (!minute.empty()) line += ", " + minute;
    return line;
}

ScriptOutcome RunScript(const std::vector<std::string>& args, platform::SessionShare& share,
                        const std::function<void()>& pause, int waitTries) {
    const std::string& command = args.at(1);
    const bool pausing = command == kPauseSwitch;
    std::optional<std::uint32_t> minutes = kScriptPauseMinutes;
    if (pausing && args.size() == 3) minutes = MinutesOf(args[2]);
    if (!minutes || args.size() > (pausing ? 3u : 2u))
        return {kScriptBadArguments,
                "usage: P_nolvara.exe -pause [MINUTES 1-1440] | -resume | -status"};

    if (command == kStatusSwitch) {
        const auto record = ReadSessionLagRecord(share, pause);
        if (!record) return {kScriptNoRun, kNoRunLine};
        return {MayScan(*record) ? kScriptMayScan : kScriptScanOff, StatusLine(*record)};
    }
    const ControlRequest request = pausing ? ControlRequest{ControlRequest::Kind::Pause, *minutes}
                                           : ControlRequest{ControlRequest::Kind::Resume, 0};
    if (!share.raiseSignalWith(kControlSignal, WordOf(request))) return {kScriptNoRun, kNoRunLine};
    // The hidden run takes it at its next tick, a second at most. A copy
    // made while the run wrote is made again at once: the tries bound the wait.
    for (int tries = 0; tries < waitTries; ++tries) {
        const auto record = ReadSessionLagRecord(share);
        if (!record) return {kScriptNoRun, kNoRunLine};
        if (Taken(*record, request)) return {kScriptScanOff, StatusLine(*record)};
        pause();
    }
    return {kScriptNotTaken, "the hidden run did not take the request"};
}

}  // namespace core
