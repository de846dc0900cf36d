// When the hidden run takes scanning off at all: with a list of chosen
// programs, only while one of them runs in the user's session; on battery,
// only where the user wants control there too. Nothing here asks Windows:
// the process list, the power source and the time come in as values.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Processes.h"

namespace core {

// Why control stands aside now; Open while it does not.
enum class GateReason { Open, WaitingForProgram, OnBattery };

struct Gate {
    GateReason reason = GateReason::Open;
    // The chosen program that runs, as Windows spells its file; empty where
    // no list was chosen or none runs.
    std::string program;
    bool open() const { return reason == GateReason::Open; }
    bool operator==(const Gate&) const = default;
};

// onBatteryPower: the machine runs on its battery now. controlOnBattery: the
// setting "onbattery". running: the chosen program found running, if any.
Gate GateOf(bool controlOnBattery, bool onBatteryPower, bool listEmpty, const std::string& running);

// A look that is due every so often, and at once after a notice.
class PeriodicLook {
public:
    explicit PeriodicLook(std::uint32_t everyMs) : everyMs_(everyMs) {}
    bool due(std::uint32_t nowMs) const { return !lastMs_ || nowMs - *lastMs_ >= everyMs_; }
    void done(std::uint32_t nowMs) { lastMs_ = nowMs; }
    void invalidate() { lastMs_.reset(); }

private:
    std::uint32_t everyMs_;
    std::optional<std::uint32_t> lastMs_;
};

// Where a chosen program that runs cannot be held open to learn of its end,
// the process list is walked this often instead, so that its end is seen
// within this plus a tick, under 3 s.
inline constexpr std::uint32_t kProgramLookMs = 2000;

// A chosen program that never takes the screen (started minimised, or a
// streaming host in the background) is found by a walk this often.
inline constexpr std::uint32_t kProgramSweepMs = 120000;

// When the process list is walked. Under measurement a walk cost as much as
// half a minute of the hidden run's ticks; so it is walked only when the
// program the user works in changes (a game or a stream takes the screen as
// it starts), when the chosen program found running ends (held open, its
// end costs nothing to see), every kProgramLookMs while such a program runs
// that could not be held, and every kProgramSweepMs besides.
class ProgramWatch {
public:
    // Whether the list is due at this tick: the foreground process now, and
    // whether the held chosen program ended.
    bool listDue(std::uint32_t nowMs, std::uint32_t foregroundId, bool heldEnded);
    // After a walk: whether a chosen program was found, and held.
    void listed(std::uint32_t nowMs, bool found, bool held);
    // The chosen programs changed: the next tick walks the list.
    void invalidate() { stale_ = true; }

private:
    bool stale_ = true;
    std::optional<std::uint32_t> foreground_;
    bool unheld_ = false;
    PeriodicLook fallback_{kProgramLookMs};
    PeriodicLook sweep_{kProgramSweepMs};
};
// The power source is asked again this often besides the system's notices,
// which a service may swallow or a sleep may lose.
inline constexpr std::uint32_t kPowerLookMs = 60000;

// The chosen names as they are compared: lower case by the system's rules,
// blanks around them gone, empty ones and repeats dropped.
std::vector<std::string> ChosenNames(const std::vector<std::string>& list,
                                     const std::function<std::string(const std::string&)>& lower);

// The first process of the list (in the system's order) that runs one of the
// chosen files in this session, its file as Windows spells it; none when
// none does. Only a name of a chosen length is lowered, and only a match
// asks for the session: the walk costs little more than the list.
std::optional<platform::ProcessEntry> ChosenRunning(
    const std::vector<std::string>& chosenLower,
    const std::vector<platform::ProcessEntry>& processes,
    const std::function<std::string(const std::string&)>& lower,
    const std::function<bool(std::uint32_t)>& inSession);

}  // namespace core
