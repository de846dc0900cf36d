// Repeating timer model. While enabled it fires every interval; enabling it or
// changing its interval starts the count anew. A binding (the Win32 message
// loop, or the virtual clock of the tests) does the counting.
#pragma once

#include <functional>
#include <string>

namespace ui {

class TimerPeer {
public:
    virtual ~TimerPeer() = default;
    // Enabled state or interval changed: stop, or start counting from now.
    virtual void timerChanged() = 0;
};

class Timer {
public:
    Timer(const char* name, int intervalMs, bool enabled)
        : name_(name), intervalMs_(intervalMs), enabled_(enabled) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        if (peer_ != nullptr) peer_->timerChanged();
    }
    int intervalMs() const { return intervalMs_; }
    void setIntervalMs(int intervalMs) {
        if (intervalMs == intervalMs_) return;
        intervalMs_ = intervalMs;
        if (peer_ != nullptr) peer_->timerChanged();
    }
    // Called by the binding when the interval has run out.
    void fire() {
        if (enabled_ && onTimer) onTimer();
    }
    std::function<void()> onTimer;
    void attachPeer(TimerPeer* peer) { peer_ = peer; }

private:
    std::string name_;
    int intervalMs_;
    bool enabled_;
    TimerPeer* peer_ = nullptr;
};

}  // namespace ui
