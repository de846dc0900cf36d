#include "fakes/Headless.h"

#include <algorithm>

namespace fakes {

class VirtualClock::TimerBinding : public ui::TimerPeer {
public:
    TimerBinding(VirtualClock& clock, ui::Timer& timer) : clock_(clock), timer_(timer) {
        timer_.attachPeer(this);
        timerChanged();
    }

    void timerChanged() override {
        ++generation;
        dueMs = clock_.nowMs() + timer_.intervalMs();
    }
    bool due(std::int64_t limit) const { return timer_.enabled() && dueMs <= limit; }

    void fire() {
        const std::int64_t firedAt = dueMs;
        const unsigned before = generation;
        clock_.nowMs_ = std::max(clock_.nowMs_, firedAt);
        timer_.fire();
        // A handler that changed the timer restarted its count already. Time a
        // handler spent blocking does not pile up missed ticks: at most one
        // tick is pending afterwards, as with a real message queue.
        if (generation == before)
            dueMs = std::max(firedAt + timer_.intervalMs(), clock_.nowMs());
    }

    std::int64_t dueMs = 0;
    unsigned generation = 0;

private:
    VirtualClock& clock_;
    ui::Timer& timer_;
};

VirtualClock::VirtualClock() = default;
VirtualClock::~VirtualClock() = default;

void VirtualClock::bind(ui::Form& form) {
    for (ui::Timer* timer : form.timers())
        timers_.push_back(std::make_unique<TimerBinding>(*this, *timer));
}

void VirtualClock::post(int delayMs, std::function<void()> event) {
    posted_.push_back({nowMs_ + delayMs, std::move(event)});
}

void VirtualClock::run(int ms, const std::function<bool()>& stop) {
    const std::int64_t end = nowMs_ + ms;
    while (!(stop && stop())) {
        TimerBinding* next = nullptr;
        for (auto& t : timers_)
            if (t->due(end) && (next == nullptr || t->dueMs < next->dueMs)) next = t.get();
        // The earliest posted event, the first posted among equals; it goes
        // before a timer due at the same moment, as posted messages do.
        auto event = posted_.end();
        for (auto it = posted_.begin(); it != posted_.end(); ++it)
            if (it->dueMs <= end && (event == posted_.end() || it->dueMs < event->dueMs)) event = it;
        if (event != posted_.end() && (next == nullptr || event->dueMs <= next->dueMs)) {
            nowMs_ = std::max(nowMs_, event->dueMs);
            const std::function<void()> handle = std::move(event->event);
            posted_.erase(event);
            handle();
            continue;
        }
        if (next == nullptr) break;
        next->fire();
    }
    if (nowMs_ < end && !(stop && stop())) nowMs_ = end;
}

}  // namespace fakes
