// The lag record between the runs of one session: the hidden run writes it
// and takes lag test requests; the window and the report read it and ask.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "core/LagRecord.h"
#include "platform/FileSystem.h"
#include "platform/SessionShare.h"

namespace core {

inline constexpr const char* kLagRecordName = "Nolvara.LagRecord";
inline constexpr const char* kLagTestSignal = "Nolvara.LagTest";
// Requests of the runs a script starts, one word each.
inline constexpr const char* kControlSignal = "Nolvara.Control";

// A pause of so many minutes (1-1440), or its end.
struct ControlRequest {
    enum class Kind : std::uint8_t { Pause = 1, Resume = 2 };
    Kind kind = Kind::Resume;
    std::uint32_t minutes = 0;
    bool operator==(const ControlRequest&) const = default;
};
inline constexpr std::uint32_t kPauseMostMinutes = 1440;
// The request as a word: its kind in the high half, the minutes below.
std::uint32_t WordOf(const ControlRequest& request);
// None for a word that is no request of a kind and length the run takes:
// any program of the user's can raise the signal.
std::optional<ControlRequest> RequestOf(std::uint32_t word);

// The hidden run's side. Without the shared objects (another run of the
// session has them, or a reader still held the last run's) it records
// nothing and takes no request, and tries again once a minute.
class LagRecorder {
public:
    explicit LagRecorder(platform::SessionShare& share);
    bool recording() const { return writer_.has_value(); }
    // Whether a lag test was asked for since the last call.
    bool testAsked();
    // The request of a script's run since the last call, if any.
    std::optional<ControlRequest> controlAsked();
    // What the run tells of itself; written only when it changed.
    void setRun(const LagRunState& run);
    // A tick begins: whether Windows may scan during it, as its probes go out.
    void beginTick(bool scanOn) { tickScanOn_ = scanOn; }
    // The probes of the tick under way.
    LagTick& tick() { return tick_; }
    LagTest& test() { return test_; }
    // Ends the tick: its sample, in the test's phase, then the test's next
    // step, which the caller carries out. tickMs is the system's tick count;
    // scans those Windows reported during the tick (kScansUnknown where none
    // can be heard).
    LagTest::Step endTick(std::int64_t localTime, std::uint32_t tickMs, std::int8_t signal,
                          std::uint8_t scans = kScansUnknown);
    // The test's state as the window is to see it now.
    void publishTest();
    // Whether automatic control is paused, for the window to say why a test
    // it asked for waits; published when it changes.
    void setControlPaused(bool paused);
    // The samples of the last minute at most, oldest first, kept here even
    // where the shared record could not be made.
    std::vector<LagSample> lastMinute() const;
    // What the newest tick came to, if it ended at most maxAgeMs before
    // nowMs (the system's tick counts).
    std::optional<LagResult> newestWithin(std::uint32_t nowMs, std::uint32_t maxAgeMs) const;

private:
    void open();
    platform::SessionShare& share_;
    std::int32_t ticksUnrecorded_ = 0;
    std::unique_ptr<platform::SharedBlock> block_;
    std::unique_ptr<platform::SignalReceiver> requests_;
    std::unique_ptr<platform::SignalReceiver> control_;
    LagRunState run_;
    std::optional<LagWriter> writer_;
    LagTick tick_;
    bool tickScanOn_ = true;
    LagTest test_;
    bool controlPaused_ = false;
    std::optional<std::int64_t> lastTime_;
    std::uint32_t lastTickMs_ = 0;
    std::array<LagSample, 60> recent_{};
    std::size_t recentCount_ = 0;
    std::size_t recentNext_ = 0;
};

// The record of the session's hidden run; none where no run records. A
// copy made while the run wrote is made again after pause.
std::optional<LagRecordView> ReadSessionLagRecord(platform::SessionShare& share,
                                                  const std::function<void()>& pause = {});
// False where no run records to take the request.
bool AskForLagTest(platform::SessionShare& share);

// The switch of the run that writes the record as CSV and ends, and what it
// ends with.
inline constexpr const char* kLagReportSwitch = "-lagreport";
enum LagReportExit { kLagReportWritten = 0, kLagReportNoRecord = 1, kLagReportNotWritten = 2 };
LagReportExit WriteLagReport(platform::SessionShare& share, platform::FileSystem& files,
                             const std::string& path, const std::function<void()>& pause = {});

}  // namespace core
