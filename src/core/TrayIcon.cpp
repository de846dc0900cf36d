#include "core/TrayIcon.h"

#include <algorithm>

#include "text/Messages.h"

namespace core {

bool TrayPause::over(std::uint32_t nowMs) const {
    return sinceMs_ && nowMs - *sinceMs_ >= lengthMs_;
}

std::uint32_t TrayPause::minutesLeft(std::uint32_t nowMs) const {
    if (!sinceMs_) return 0;
    const std::uint32_t elapsed = std::min(nowMs - *sinceMs_, lengthMs_);
    return (lengthMs_ - elapsed + 59999) / 60000;
}

std::string TrayMinute(const std::vector<LagSample>& lastMinute,
                       const std::function<std::string(const std::string&)>& text) {
    if (lastMinute.empty()) return std::string();
    const LagFigures figures = FiguresOf(lastMinute, std::nullopt);
    if (figures.answers == 0) return text("tray_noanswer");
    const std::string spikes =
        figures.spikes == 0   ? text("tray_nospikes")
        : figures.spikes == 1 ? text("tray_onespike")
                              : text::Filled(text("tray_spikes"), {std::to_string(figures.spikes)});
    return text::Filled(text("tray_minute"), {std::to_string(figures.medianMs), spikes});
}

std::string TrayState(bool scanOn, TrayReason reason, bool serviceWay,
                      std::uint32_t pauseMinutesLeft, const std::string& program,
                      const std::function<std::string(const std::string&)>& text) {
    std::string tip = text(serviceWay ? (scanOn ? "tray_on_xp" : "tray_off_xp")
                                      : (scanOn ? "tray_on" : "tray_off"));
    switch (reason) {
        case TrayReason::Waiting:
            tip += text("tray_waiting");
            break;
        case TrayReason::LinkLost:
            tip += text("tray_linklost");
            break;
        case TrayReason::WeakSignal:
            tip += text("tray_weak");
            break;
        case TrayReason::Paused:
            tip += text::Filled(text("tray_paused"), {std::to_string(pauseMinutesLeft)});
            break;
        case TrayReason::WaitingForProgram:
            tip += text("tray_waitingprogram");
            break;
        case TrayReason::OnBattery:
            tip += text("tray_onbattery");
            break;
        case TrayReason::None:
            break;
    }
    if (!program.empty() && !scanOn) tip += text::Filled(text("tray_program"), {program});
    return tip;
}

std::string TrayTip(bool scanOn, TrayReason reason, bool serviceWay, std::uint32_t pauseMinutesLeft,
                    const std::string& program, const std::string& minuteLine,
                    const std::function<std::string(const std::string&)>& text) {
    std::string tip =
        "Nolvara: " + TrayState(scanOn, reason, serviceWay, pauseMinutesLeft, program, text);
    if (!minuteLine.empty()) tip += "\n" + minuteLine;
    if (tip.size() > kTrayTipMax) tip.resize(kTrayTipMax);
    return tip;
}

std::vector<std::string> TrayMenu(bool paused,
                                  const std::function<std::string(const std::string&)>& text) {
    return {text("tray_lagmeter"), text(paused ? "tray_resume" : "tray_pause"), text("tray_open"),
            text("tray_end")};
}

TrayIcon::TrayIcon(platform::NotifyArea& area, platform::NotifyEvents events)
    : area_(area), events_(std::move(events)) {}

const std::string& TrayIcon::minute(std::uint32_t nowMs, std::uint32_t maxAgeMs,
                                    const std::function<std::string()>& draw) {
    if (!minuteAtMs_ || nowMs - *minuteAtMs_ >= maxAgeMs) {
        minuteAtMs_ = nowMs;
        minute_ = draw();
    }
    return minute_;
}

bool TrayIcon::mayOpen(std::uint32_t nowMs) {
    // Clicks within this time open one window, not one each.
    constexpr std::uint32_t kOpenAgainAfterMs = 2000;
    if (openedAtMs_ && nowMs - *openedAtMs_ < kOpenAgainAfterMs) return false;
    openedAtMs_ = nowMs;
    return true;
}

void TrayIcon::update(bool wanted, bool scanOn, const std::string& tip) {
    if (!wanted) {
        icon_.reset();
        shown_.reset();
        return;
    }
    const platform::NotifyLook look =
        scanOn ? platform::NotifyLook::ScanOn : platform::NotifyLook::ScanOff;
    if (shown_ && shown_->look == look && shown_->tip == tip) return;
    if (!icon_) icon_ = area_.create(events_);
    // A shell without a taskbar yet takes nothing: tried again next time.
    if (icon_ && icon_->show(look, tip))
        shown_ = Shown{look, tip};
    else
        shown_.reset();
}

}  // namespace core
