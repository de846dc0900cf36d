// The weak-signal rule over time: the holds, the way back, the setting, and
// interfaces judged apart.
#include <gtest/gtest.h>

#include "core/SignalRule.h"

namespace {

using Id = core::SignalRule::InterfaceId;
const Id kFirst{1};
const Id kSecond{2};

TEST(SignalRule, AWeakSignalMustHoldFiveSecondsAndAStrongOneTenToCount) {
    // Each row: the qualities heard at their times, and whether the first
    // interface is weak when judged at the end.
    struct Heard {
        std::uint32_t atMs;
        std::int32_t quality;
    };
    const struct {
        const char* what;
        std::vector<Heard> heard;
        std::uint32_t judgedAtMs;
        bool weak;
    } table[] = {
        {"below for 4.9 s", {{0, 30}}, 4900, false},
        {"below for 5 s", {{0, 30}}, 5000, true},
        {"at the threshold is not below", {{0, 50}}, 60000, false},
        {"a rise above the threshold starts the hold again", {{0, 30}, {3000, 52}, {4000, 30}}, 8900, false},
        {"and the new hold counts", {{0, 30}, {3000, 52}, {4000, 30}}, 9000, true},
        {"weak, then between the bounds: still weak", {{0, 30}, {5000, 59}}, 60000, true},
        {"weak, then strong for 9.9 s", {{0, 30}, {5000, 60}}, 14900, true},
        {"weak, then strong for 10 s", {{0, 30}, {5000, 60}}, 15000, false},
        {"a dip between the bounds starts the strong hold again",
         {{0, 30}, {5000, 60}, {9000, 55}, {10000, 70}},
         19900,
         true},
        {"across the tick count's wrap", {{0xFFFFF000u, 10}}, 0xFFFFF000u + 5000, true},
    };
    for (const auto& row : table) {
        core::SignalRule rule;
        // Judged as the probe loop does, every moment, each time before the news.
        for (const Heard& h : row.heard) {
            rule.weak(kFirst, h.atMs);
            rule.heard(kFirst, h.quality, h.atMs);
        }
        EXPECT_EQ(rule.weak(kFirst, row.judgedAtMs), row.weak) << row.what;
    }
}

TEST(SignalRule, InterfacesAreJudgedApartAndTheSettingCanSwitchTheRuleOff) {
    core::SignalRule rule;
    rule.heard(kFirst, 20, 0);
    rule.heard(kSecond, 90, 0);
    EXPECT_TRUE(rule.weak(kFirst, 6000));
    EXPECT_FALSE(rule.weak(kSecond, 6000)) << "a weak first interface does not make the second weak";
    // When a hold ends: the strong one's from its first quality at the mark.
    EXPECT_EQ(rule.dueMs(kSecond), std::nullopt);
    rule.heard(kFirst, 75, 6500);
    EXPECT_EQ(rule.dueMs(kFirst), 16500u);
    EXPECT_EQ(rule.quality(kSecond), 90);
    rule.forget(kFirst);
    EXPECT_FALSE(rule.weak(kFirst, 7000));
    EXPECT_EQ(rule.quality(kFirst), std::nullopt);

    rule.heard(kFirst, 20, 8000);
    EXPECT_TRUE(rule.weak(kFirst, 13000));
    rule.setThreshold(0);
    EXPECT_FALSE(rule.weak(kFirst, 13000)) << "0 switches the rule off at once";
    EXPECT_EQ(rule.dueMs(kFirst), std::nullopt);
    rule.heard(kFirst, 0, 14000);
    EXPECT_FALSE(rule.weak(kFirst, 60000));

    const std::pair<std::optional<std::int64_t>, std::int32_t> settings[] = {
        {std::nullopt, 50}, {-1, 50}, {101, 50}, {0, 0}, {30, 30}, {100, 100}};
    for (const auto& [stored, threshold] : settings)
        EXPECT_EQ(core::WeakSignalThreshold(stored), threshold);
}

TEST(SignalRule, TheSignalStrengthIsTheQualityWindowsShows) {
    const std::pair<std::int32_t, std::int32_t> table[] = {
        {-128, 0}, {-101, 0}, {-100, 0}, {-99, 2},   {-85, 30},  {-75, 50},
        {-70, 60}, {-60, 80}, {-51, 98}, {-50, 100}, {-20, 100}, {0, 100}};
    for (const auto& [dBm, quality] : table) EXPECT_EQ(core::QualityOfRssi(dBm), quality) << dBm;
}

}  // namespace
