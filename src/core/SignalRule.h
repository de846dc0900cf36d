// When scanning may stay off on an interface: while its signal is good. A
// signal that stays weak lets Windows scan there again, so that it can find
// a better access point; one that has come back strong takes scanning off
// again. Each interface is judged on its own. Nothing here knows of Windows:
// the qualities and the time are what the caller hears and reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/FlatMap.h"

namespace core {

// The setting "weaksignal": a quality of 0-100 below which the signal is
// weak; 0 switches the rule off. Missing or out of range: the default.
inline constexpr std::int32_t kWeakSignalDefault = 50;
inline constexpr bool WeakSignalInBounds(std::int64_t value) { return value >= 0 && value <= 100; }
std::int32_t WeakSignalThreshold(std::optional<std::int64_t> stored);

// The quality (0-100) Windows shows for a received signal strength in dBm:
// -100 dBm and below is 0, -50 dBm and above is 100, linear in between.
std::int32_t QualityOfRssi(std::int32_t dBm);

// How long a quality must hold before it counts, and how far above the
// threshold a signal must come back to count as strong again.
inline constexpr std::uint32_t kWeakSignalHoldMs = 5000;
inline constexpr std::uint32_t kStrongSignalHoldMs = 10000;
inline constexpr std::int32_t kStrongSignalMargin = 10;

class SignalRule {
public:
    using InterfaceId = std::array<std::uint8_t, 16>;

    // A change counts from the next quality heard (a query comes every few
    // seconds); 0 lets no signal be weak, at once.
    void setThreshold(std::int32_t threshold) { threshold_ = threshold; }
    std::int32_t threshold() const { return threshold_; }
    // The interface's quality (0-100) as a notification or a query gave it
    // at nowMs; it holds until the next one.
    void heard(const InterfaceId& id, std::int32_t quality, std::uint32_t nowMs);
    // The interface is gone, or its link: what was heard of it goes too.
    void forget(const InterfaceId& id) { interfaces_.erase(id); }
    // Whether Windows must be let scan on the interface at nowMs: its signal
    // has stayed weak long enough, and not yet strong long enough since.
    bool weak(const InterfaceId& id, std::uint32_t nowMs);
    // When weak() may next turn for the interface unless another quality
    // is heard first; none while no hold runs.
    std::optional<std::uint32_t> dueMs(const InterfaceId& id) const;
    // The last quality heard of the interface; none where nothing was.
    std::optional<std::int32_t> quality(const InterfaceId& id) const;

private:
    struct Heard {
        std::int32_t quality = 0;
        // Since when the quality has been below the threshold, or at or above
        // it plus the margin; none while it is not.
        std::optional<std::uint32_t> weakSinceMs;
        std::optional<std::uint32_t> strongSinceMs;
        bool weak = false;
    };
    std::int32_t threshold_ = kWeakSignalDefault;
    platform::FlatMap<InterfaceId, Heard> interfaces_;
};

}  // namespace core
