// The hidden run's icon in the notification area: which look it has, what its
// tooltip says of now and of the last minute, its menu, and the hour's pause
// taken through it. Nothing here switches anything or knows of Windows: the
// caller says what holds, gives the time, and carries out what is chosen.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/LagRecord.h"
#include "platform/NotifyArea.h"

namespace core {

// Why Windows may scan now, as the tooltip says beside whether it may. The
// numbers travel in the lag record to the runs a script starts.
enum class TrayReason : std::uint8_t {
    None = 0,
    Waiting = 1,
    LinkLost = 2,
    WeakSignal = 3,
    Paused = 4,
    WaitingForProgram = 5,
    OnBattery = 6,
};

// The pause: Windows may scan for an hour (or as long as a script asked),
// then the probe loop decides again.
inline constexpr std::uint32_t kTrayPauseMs = 60u * 60u * 1000u;
class TrayPause {
public:
    void start(std::uint32_t nowMs, std::uint32_t lengthMs = kTrayPauseMs) {
        sinceMs_ = nowMs;
        lengthMs_ = lengthMs;
    }
    void end() { sinceMs_.reset(); }
    bool active() const { return sinceMs_.has_value(); }
    // Whether an active pause has run its hour at nowMs.
    bool over(std::uint32_t nowMs) const;
    // Whole minutes left, rounded up; 0 when none is active.
    std::uint32_t minutesLeft(std::uint32_t nowMs) const;

private:
    std::optional<std::uint32_t> sinceMs_;
    std::uint32_t lengthMs_ = kTrayPauseMs;
};

// The tooltip's line on the last minute of the record (at most 60 samples,
// the newest last); empty without samples.
std::string TrayMinute(const std::vector<LagSample>& lastMinute,
                       const std::function<std::string(const std::string&)>& text);
// How old that line may grow: each change of the tooltip is a call into the
// shell, and the round trip's median moves by a millisecond often. It is
// drawn anew once a minute, and when the pointer comes to the icon, so that
// the tooltip a person reads is at most a few seconds old.
inline constexpr std::uint32_t kTrayMinuteEveryMs = 60000;
inline constexpr std::uint32_t kTrayMinuteHoveredMs = 2000;
// Whether Windows may scan and why, in the language the lookup gives.
// serviceWay names the wireless service instead of the background scan;
// program names the chosen program that runs, where one does.
std::string TrayState(bool scanOn, TrayReason reason, bool serviceWay,
                      std::uint32_t pauseMinutesLeft, const std::string& program,
                      const std::function<std::string(const std::string&)>& text);
// The tooltip: that state, then the minute's line, cut to what Windows shows.
inline constexpr std::size_t kTrayTipMax = 127;
std::string TrayTip(bool scanOn, TrayReason reason, bool serviceWay, std::uint32_t pauseMinutesLeft,
                    const std::string& program, const std::string& minuteLine,
                    const std::function<std::string(const std::string&)>& text);

// The menu's items, in this order.
enum class TrayCommand : std::size_t { LagMeter, Pause, Open, End };
std::vector<std::string> TrayMenu(bool paused,
                                  const std::function<std::string(const std::string&)>& text);

// The icon as the notification area has it: shown only while wanted, and
// told only what changed, since each change is a call into the shell.
class TrayIcon {
public:
    // Nothing is made until the icon is first wanted.
    TrayIcon(platform::NotifyArea& area, platform::NotifyEvents events);
    // Shows the icon with this look and tip, or removes it.
    void update(bool wanted, bool scanOn, const std::string& tip);
    // Explorer made its taskbar anew: the next update adds the icon again.
    void shellRestarted() { shown_.reset(); }
    // The tooltip's minute line, drawn anew once it is maxAgeMs old.
    const std::string& minute(std::uint32_t nowMs, std::uint32_t maxAgeMs,
                              const std::function<std::string()>& draw);
    // Whether a window may be opened from the icon at nowMs: a double click,
    // or a click and a choice, is one request.
    bool mayOpen(std::uint32_t nowMs);
    // Whether the menu offered "Resume now" when it last opened: the hour may
    // run out while it is open.
    bool menuOfferedResume = false;

private:
    struct Shown {
        platform::NotifyLook look;
        std::string tip;
    };
    platform::NotifyArea& area_;
    platform::NotifyEvents events_;
    std::unique_ptr<platform::NotifyIcon> icon_;
    std::optional<Shown> shown_;
    std::string minute_;
    std::optional<std::uint32_t> minuteAtMs_;
    std::optional<std::uint32_t> openedAtMs_;
};

}  // namespace core
