#include "core/SignalRule.h"

namespace core {

std::int32_t WeakSignalThreshold(std::optional<std::int64_t> stored) {
    if (!stored || !WeakSignalInBounds(*stored)) return kWeakSignalDefault;
    return static_cast<std::int32_t>(*stored);
}

std::int32_t QualityOfRssi(std::int32_t dBm) {
    if (dBm <= -100) return 0;
    if (dBm >= -50) return 100;
    return 2 * (dBm + 100);
}

void SignalRule::heard(const InterfaceId& id, std::int32_t quality, std::uint32_t nowMs) {
    Heard& h = interfaces_[id];
    h.quality = quality;
    // A quality between the two bounds starts neither hold: the signal must
    // stay on one side the whole time.
    const bool below = quality < threshold_;
    const bool strong = quality >= threshold_ + kStrongSignalMargin;
    if (!below) h.weakSinceMs.reset();
    else if (!h.weakSinceMs) h.weakSinceMs = nowMs;
    if (!strong) h.strongSinceMs.reset();
    else if (!h.strongSinceMs) h.strongSinceMs = nowMs;
}

bool SignalRule::weak(const InterfaceId& id, std::uint32_t nowMs) {
    const auto found = interfaces_.find(id);
    if (found == interfaces_.end()) return false;
    Heard& h = found->second;
    if (threshold_ <= 0) {
        h.weak = false;
        return false;
    }
    // Tick counts wrap: only differences are compared.
    if (!h.weak && h.weakSinceMs && nowMs - *h.weakSinceMs >= kWeakSignalHoldMs) h.weak = true;
    if (h.weak && h.strongSinceMs && nowMs - *h.strongSinceMs >= kStrongSignalHoldMs) h.weak = false;
    return h.weak;
}

std::optional<std::uint32_t> SignalRule::dueMs(const InterfaceId& id) const {
    const auto found = interfaces_.find(id);
    if (found == interfaces_.end() || threshold_ <= 0) return std::nullopt;
    const Heard& h = found->second;
    if (!h.weak && h.weakSinceMs) return *h.weakSinceMs + kWeakSignalHoldMs;
    if (h.weak && h.strongSinceMs) return *h.strongSinceMs + kStrongSignalHoldMs;
    return std::nullopt;
}

std::optional<std::int32_t> SignalRule::quality(const InterfaceId& id) const {
    const auto found = interfaces_.find(id);
    if (found == interfaces_.end()) return std::nullopt;
    return found->second.quality;
}

}  // namespace core
