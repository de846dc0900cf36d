#include "core/ControlGate.h"

#include <algorithm>

namespace core {

Gate GateOf(bool controlOnBattery, bool onBatteryPower, bool listEmpty,
            const std::string& running) {
    if (onBatteryPower && !controlOnBattery) return {GateReason::OnBattery, std::string()};
    if (!listEmpty && running.empty()) return {GateReason::WaitingForProgram, std::string()};
    return {GateReason::Open, running};
}

std::vector<std::string> ChosenNames(const std::vector<std::string>& list,
                                     const std::function<std::string(const std::string&)>& lower) {
    std::vector<std::string> names;
    for (const std::string& entry : list) {
        const auto first = entry.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const auto last = entry.find_last_not_of(" \t");
        const std::string name = lower(entry.substr(first, last - first + 1));
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

bool ProgramWatch::listDue(std::uint32_t nowMs, std::uint32_t foregroundId, bool heldEnded) {
    const bool foregroundChanged = foreground_ != foregroundId;
    foreground_ = foregroundId;
    return stale_ || foregroundChanged || heldEnded || (unheld_ && fallback_.due(nowMs)) ||
           sweep_.due(nowMs);
}

void ProgramWatch::listed(std::uint32_t nowMs, bool found, bool held) {
    stale_ = false;
    unheld_ = found && !held;
    fallback_.done(nowMs);
    sweep_.done(nowMs);
}

std::optional<platform::ProcessEntry> ChosenRunning(
    const std::vector<std::string>& chosenLower,
    const std::vector<platform::ProcessEntry>& processes,
    const std::function<std::string(const std::string&)>& lower,
    const std::function<bool(std::uint32_t)>& inSession) {
    for (const platform::ProcessEntry& process : processes) {
        const bool lengthFits = std::any_of(
            chosenLower.begin(), chosenLower.end(),
            [&](const std::string& name) { return name.size() == process.exeFile.size(); });
        if (!lengthFits) continue;
        const std::string name = lower(process.exeFile);
        if (std::find(chosenLower.begin(), chosenLower.end(), name) != chosenLower.end() &&
            inSession(process.id))
            return process;
    }
    return std::nullopt;
}

}  // namespace core
