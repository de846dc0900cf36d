#include "core/LagMeter.h"

#include <algorithm>

namespace core {

namespace {
// Ticks between two tries to make the shared objects.
constexpr std::int32_t kRecordRetryTicks = 60;
// Tries at a copy that no write ran through.
constexpr int kCopyTries = 5;
}  // namespace

LagRecorder::LagRecorder(platform::SessionShare& share) : share_(share) { open(); }

void LagRecorder::open() {
    block_ = share_.createBlock(kLagRecordName, LagBlockBytes());
    if (!block_) return;
    requests_ = share_.createSignal(kLagTestSignal);
    control_ = share_.createSignal(kControlSignal);
    writer_.emplace(block_->data());
    writer_->setRun(run_);
}

bool LagRecorder::testAsked() { return requests_ && requests_->taken(); }

std::optional<ControlRequest> LagRecorder::controlAsked() {
    if (!control_ || !control_->taken()) return std::nullopt;
    return RequestOf(control_->word());
}

void LagRecorder::setRun(const LagRunState& run) {
    if (run == run_) return;
    run_ = run;
    if (writer_) writer_->setRun(run_);
}

std::uint32_t WordOf(const ControlRequest& request) {
    return (static_cast<std::uint32_t>(request.kind) << 16) | (request.minutes & 0xFFFF);
}

std::optional<ControlRequest> RequestOf(std::uint32_t word) {
    const std::uint32_t kind = word >> 16;
    const std::uint32_t minutes = word & 0xFFFF;
    if (kind == static_cast<std::uint32_t>(ControlRequest::Kind::Pause) && minutes >= 1 &&
        minutes <= kPauseMostMinutes)
        return ControlRequest{ControlRequest::Kind::Pause, minutes};
    if (kind == static_cast<std::uint32_t>(ControlRequest::Kind::Resume) && minutes == 0)
        return ControlRequest{ControlRequest::Kind::Resume, 0};
    return std::nullopt;
}

LagTest::Step LagRecorder::endTick(std::int64_t localTime, std::uint32_t tickMs, std::int8_t signal,
                                   std::uint8_t scans) {
    // A timer's tick a second after the last may fall either side of a
    // second's edge: it is the next second, so that the record has one line
    // per second. A clock set, a tick late or early by more, keeps its time.
    const std::uint32_t sinceMs = tickMs - lastTickMs_;
    if (lastTime_ && sinceMs >= 500 && sinceMs < 1500 && localTime >= *lastTime_ &&
        localTime <= *lastTime_ + 2)
        localTime = *lastTime_ + 1;
    lastTime_ = localTime;
    lastTickMs_ = tickMs;
    LagSample sample;
    sample.localTime = localTime;
    sample.result = tick_.result();
    sample.rttMs = tick_.rttMs();
    sample.scanOn = tickScanOn_;
    sample.signal = signal;
    sample.testPhase = test_.phase();
    sample.scans = scans;
    tick_ = LagTick();
    if (!writer_ && ++ticksUnrecorded_ >= kRecordRetryTicks) {
        ticksUnrecorded_ = 0;
        open();
    }
    if (writer_) writer_->add(sample);
    recent_[recentNext_] = sample;
    recentNext_ = (recentNext_ + 1) % recent_.size();
    recentCount_ = std::min(recentCount_ + 1, recent_.size());
    const LagTest::Step step = test_.ticked(sample.result);
    if (sample.testPhase != 0) publishTest();
    return step;
}

std::vector<LagSample> LagRecorder::lastMinute() const {
    std::vector<LagSample> samples;
    samples.reserve(recentCount_);
    for (std::size_t i = recent_.size() - recentCount_; i < recent_.size(); ++i)
        samples.push_back(recent_[(recentNext_ + i) % recent_.size()]);
    return samples;
}

std::optional<LagResult> LagRecorder::newestWithin(std::uint32_t nowMs,
                                                   std::uint32_t maxAgeMs) const {
    if (recentCount_ == 0 || nowMs - lastTickMs_ > maxAgeMs) return std::nullopt;
    return recent_[(recentNext_ + recent_.size() - 1) % recent_.size()].result;
}

void LagRecorder::publishTest() {
    LagTestStatus status = test_.status();
    status.controlPaused = controlPaused_;
    if (writer_) writer_->setTest(status);
}

void LagRecorder::setControlPaused(bool paused) {
    if (paused == controlPaused_) return;
    controlPaused_ = paused;
    publishTest();
}

std::optional<LagRecordView> ReadSessionLagRecord(platform::SessionShare& share,
                                                  const std::function<void()>& pause) {
    // The hidden run writes once a second. Two copies alike, with the
    // writer's counter even, saw no write under way, whatever order the
    // bytes were copied in.
    for (int attempt = 0; attempt < kCopyTries; ++attempt) {
        if (attempt > 0 && pause) pause();
        const auto first = share.copyBlock(kLagRecordName, LagBlockBytes());
        if (!first) return std::nullopt;
        const auto second = share.copyBlock(kLagRecordName, LagBlockBytes());
        if (!second) return std::nullopt;
        if (*first == *second && LagChangeCount(first->data(), first->size()) % 2 == 0)
            return ReadLagBlock(first->data(), first->size());
    }
    return std::nullopt;
}

bool AskForLagTest(platform::SessionShare& share) { return share.raiseSignal(kLagTestSignal); }

}  // namespace core

namespace core {

LagReportExit WriteLagReport(platform::SessionShare& share, platform::FileSystem& files,
                             const std::string& path, const std::function<void()>& pause) {
    const auto record = ReadSessionLagRecord(share, pause);
    if (!record) return kLagReportNoRecord;
    if (path.empty() || !files.replaceFile(path, LagCsv(record->samples)))
        return kLagReportNotWritten;
    return kLagReportWritten;
}

}  // namespace core
