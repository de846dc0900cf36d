// The lag record: one sample per probe tick for the last hour, kept in a block
// of bytes that the hidden run shares with the session's other runs of the
// program, and the figures drawn from it. Nothing here knows of Windows: the
// block is plain bytes, the time a number the caller gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace core {

enum class LagResult : std::uint8_t {
    Answer = 0,  // the fastest answer of the tick's probes, its round trip kept
    Late = 1,    // a probe was sent and nothing came back in time, or an ICMP error
    NoLink = 2,  // nothing could be sent
};

// A tick's count of scans where none could be heard (Windows XP, or no
// Native Wifi handle), and the most one tick counts.
inline constexpr std::uint8_t kScansUnknown = 255;
inline constexpr std::uint8_t kScansMost = 254;

struct LagSample {
    // The tick's local time in seconds since 1970-01-01 00:00:00 (local).
    std::int64_t localTime = 0;
    LagResult result = LagResult::NoLink;
    std::uint16_t rttMs = 0;  // answers only
    bool scanOn = false;      // whether Windows could scan during the tick
    std::int8_t signal = -1;  // 0-100, -1 where unknown
    // The tick's part in a lag test: 0 none, 1 its minute with Windows
    // scanning, 2 its minute without.
    std::uint8_t testPhase = 0;
    // The scans Windows reported during the tick, on any interface.
    std::uint8_t scans = kScansUnknown;

    bool operator==(const LagSample&) const = default;
};

// An hour of ticks.
inline constexpr std::uint32_t kLagCapacity = 3600;
// The block's size: a header, the ring, then what later builds added (the
// run's state and the scans of each tick). Windows of earlier builds read
// the part they know; a block of an earlier run lacks the rest.
std::size_t LagBlockBytes();

// The lag test as the hidden run last left it, for the window to follow.
enum class LagTestState : std::uint8_t {
    None = 0,
    Running = 1,
    Finished = 2,
    LinkLost = 3,  // ended early: the usual handling of a lost link took over
    Ended = 4,     // ended early by the session's end
    Refused = 5,   // scanning could not be switched on: no test
    Paused = 6,    // ended early: the user paused automatic control
};
struct LagTestStatus {
    LagTestState state = LagTestState::None;
    std::uint8_t secondsLeft = 0;
    // Automatic control is paused: a test asked for waits for its end.
    bool controlPaused = false;
    bool operator==(const LagTestStatus&) const = default;
};

// What the hidden run tells of itself beside the samples, for the runs a
// script starts.
struct LagRunState {
    // Why Windows may scan now, a core::TrayReason.
    std::uint8_t reason = 0;
    // The wireless service is switched (Windows XP), not the background scan.
    bool serviceWay = false;
    std::uint16_t pauseMinutesLeft = 0;
    // The chosen program that runs, cut to kLagProgramBytes - 1 bytes.
    std::string program;
    bool operator==(const LagRunState&) const = default;
};
inline constexpr std::size_t kLagProgramBytes = 64;

// Writes into a block of LagBlockBytes() bytes that it does not own (the
// shared section, or a buffer in tests). Readers in other processes copy the
// block while it may change: the writer marks each change with a counter that
// is odd while it writes.
class LagWriter {
public:
    // Lays out an empty record in a block of zeros.
    explicit LagWriter(unsigned char* block);
    void add(const LagSample& sample);
    void setTest(LagTestStatus test);
    void setRun(const LagRunState& run);

private:
    unsigned char* block_;
};

// The writer's change counter in a copy: odd while a write was under way.
std::uint32_t LagChangeCount(const unsigned char* bytes, std::size_t size);

struct LagRecordView {
    std::vector<LagSample> samples;  // oldest first
    LagTestStatus test;
    // None from a run of an earlier build.
    std::optional<LagRunState> run;
};
// Reads a copy of a block, treating every byte as untrusted: a block that is
// not a whole, finished record of this layout gives no record; otherwise the
// samples oldest first, each within its bounds. Times need not rise: the
// clock may be set back, or summer time end.
std::optional<LagRecordView> ReadLagBlock(const unsigned char* bytes, std::size_t size);

// The figures of one column of the meter: the seconds of that scan state.
struct LagFigures {
    std::uint32_t seconds = 0;
    std::uint32_t answers = 0;
    // Over the answers; 0 without any.
    std::uint32_t medianMs = 0;
    std::uint32_t p99Ms = 0;
    std::uint32_t worstMs = 0;
    // Answers of kLagSpikeMs or more, and late seconds.
    std::uint32_t spikes = 0;
    // Of those, the ones within a second of a scan Windows reported.
    std::uint32_t spikesNearScan = 0;
    bool operator==(const LagFigures&) const = default;
};
inline constexpr std::uint32_t kLagSpikeMs = 50;
// Percentiles by nearest rank: the smallest value with at least that share
// of the answers at or below it. Without a scan state, over every sample.
LagFigures FiguresOf(const std::vector<LagSample>& samples, std::optional<bool> scanOn);

// The scans Windows reported over the samples; none where none could be
// heard in any of them.
std::optional<std::uint32_t> ScansOf(const std::vector<LagSample>& samples,
                                     std::optional<bool> scanOn);

// The samples of the newest lag test, its two minutes as far as they came.
std::vector<LagSample> LastLagTest(const std::vector<LagSample>& samples);

// What one tick's probes came to: the fastest answer in time, else late when
// any was sent, else no link.
class LagTick {
public:
    void probed(bool answeredInTime, std::uint32_t roundTripMs);
    LagResult result() const;
    std::uint16_t rttMs() const;

private:
    bool sent_ = false;
    std::optional<std::uint32_t> fastestMs_;
};

// The lag test's course over the probe ticks: a minute with Windows scanning,
// then one without, then control goes back to the probe loop. Nothing here
// switches; the caller does what each step says.
inline constexpr std::uint32_t kLagTestPhaseSec = 60;
// Late ticks in a row that end a test as a lost link: a scan's stall is a
// second or two, a lost link stays.
inline constexpr std::uint32_t kLagTestLateInRow = 5;
class LagTest {
public:
    enum class Step { None, ScanOff, HandBack, LinkLost };
    // False when a test runs already: one at a time.
    bool start();
    bool running() const { return status_.state == LagTestState::Running; }
    // The phase the coming tick belongs to (LagSample::testPhase).
    std::uint8_t phase() const;
    // After a tick of the test: what the caller must do now.
    Step ticked(LagResult outcome);
    // The session ends meanwhile, or the user pauses control.
    void end(LagTestState why = LagTestState::Ended);
    // Its first switch failed: it never began.
    void refuse();
    LagTestStatus status() const { return status_; }

private:
    LagTestStatus status_;
    std::uint32_t ticks_ = 0;
    std::uint32_t lateInRow_ = 0;
};

// The record as CSV with CR LF line ends, a header line first, oldest first.
std::string LagCsv(const std::vector<LagSample>& samples);
// "YYYY-MM-DD HH:MM:SS" of a local time in seconds since 1970.
std::string LagTimeText(std::int64_t localTime);

}  // namespace core
