// The lag record's block as another process's reader copies it: any bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Require.h"
#include "core/LagRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Small inputs are laid over a valid block, so that the samples' checks
    // are reached and not only the header's.
    std::vector<unsigned char> block(core::LagBlockBytes());
    core::LagWriter writer(block.data());
    for (int i = 0; i < 8; ++i) writer.add({1796133787 + i, core::LagResult::Answer, 5, true, 40,
                                           static_cast<std::uint8_t>(i % 3)});
    const bool overlay = size < block.size();
    if (overlay)
        for (std::size_t i = 0; i < size; ++i) block[(i * 131) % block.size()] ^= data[i];
    const unsigned char* bytes = overlay ? block.data() : data;
    const std::size_t length = overlay ? block.size() : size;

    const auto view = core::ReadLagBlock(bytes, length);
    if (!view) return 0;
    const auto* samples = &view->samples;
    FUZZ_REQUIRE(view->test.secondsLeft <= 2 * core::kLagTestPhaseSec);
    FUZZ_REQUIRE(samples->size() <= core::kLagCapacity);
    for (std::size_t i = 0; i < samples->size(); ++i) {
        const core::LagSample& s = (*samples)[i];
        FUZZ_REQUIRE(s.signal >= -1 && s.signal <= 100);
        FUZZ_REQUIRE(s.result == core::LagResult::Answer || s.rttMs == 0);
        FUZZ_REQUIRE(s.localTime >= 0 && s.testPhase <= 2);
    }
    for (const bool scan : {false, true}) {
        const core::LagFigures f = core::FiguresOf(*samples, scan);
        FUZZ_REQUIRE(f.answers <= f.seconds && f.medianMs <= f.p99Ms && f.p99Ms <= f.worstMs);
    }
    FUZZ_REQUIRE(core::LastLagTest(*samples).size() <= samples->size());
    const std::string csv = core::LagCsv(*samples);
    FUZZ_REQUIRE(csv.size() <= 40 + samples->size() * 48);
    return 0;
}
