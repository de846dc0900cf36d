// The lag record: one sample per probe tick for the last hour, kept in a block
// of bytes that the hidden run shares with the session's other runs of the
// program, and the figures drawn from it. Nothing here knows of Windows: the
// block is plain bytes, the time a number the caller gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace core {

enum class LagResult : std::uint8_t {
    Answer = 0,  // the fastest answer of the tick's probes, its round trip kept
    Late = 1,    // a probe was sent and nothing came back in time, or an ICMP error
    NoLink = 2,  // nothing could be sent
};

struct LagSample {
    // The tick's local time in seconds since 1970-01-01 00:00:00 (local).
    std::int64_t localTime = 0;
    LagResult result = LagResult::NoLink;
    std::uint16_t rttMs = 0;  // answers only
    bool scanOn = false;      // whether Windows could scan during the tick
    std::int8_t signal = -1;  // 0-100, -1 where unknown

    bool operator==(const LagSample&) const = default;
};

// An hour of ticks.
inline constexpr std::uint32_t kLagCapacity = 3600;
// The block's size: a header, then the ring.
std::size_t LagBlockBytes();

// Writes into a block of LagBlockBytes() bytes that it does not own (the
// shared section, or a buffer in tests). Readers in other processes copy the
// block while it may change: the writer marks each change with a counter that
// is odd while it writes.
class LagWriter {
public:
    // Lays out an empty record in the block.
    explicit LagWriter(unsigned char* block);
    void add(const LagSample& sample);

private:
    unsigned char* block_;
};

// Reads a copy of a block, treating every byte as untrusted: a block that is
// not a whole, finished record of this layout gives no record; otherwise the
// samples oldest first, each within its bounds.
std::optional<std::vector<LagSample>> ReadLagBlock(const unsigned char* bytes, std::size_t size);

// The figures of one column of the meter: the seconds of that scan state.
struct LagFigures {
    std::uint32_t seconds = 0;
    std::uint32_t answers = 0;
    // Over the answers; 0 without any.
    std::uint32_t medianMs = 0;
    std::uint32_t p99Ms = 0;
    std::uint32_t worstMs = 0;
    // Answers of kLagSpikeMs or more, and late seconds.
    std::uint32_t spikes = 0;
};
inline constexpr std::uint32_t kLagSpikeMs = 50;
// Percentiles by nearest rank: the smallest value with at least that share
// of the answers at or below it.
LagFigures FiguresOf(const std::vector<LagSample>& samples, bool scanOn);

// The record as CSV with CR LF line ends, a header line first, oldest first.
std::string LagCsv(const std::vector<LagSample>& samples);
// "YYYY-MM-DD HH:MM:SS" of a local time in seconds since 1970.
std::string LagTimeText(std::int64_t localTime);

}  // namespace core
