#include "core/LagRecord.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace core {

namespace {

// Header: tag, layout version, capacity, samples written in all (the newest
// is at (written - 1) % capacity), change counter, the lag test's state as
// windows of earlier builds know it (up to Refused) and its seconds left,
// the state itself where those windows do not know it, and whether automatic
// control is paused. Little-endian, as on every Windows the program runs on;
// the reader asks nothing of alignment.
constexpr std::array<unsigned char, 4> kTag = {'N', 'L', 'A', 'G'};
constexpr std::uint32_t kLayoutVersion = 2;
constexpr std::size_t kHeaderBytes = 4 + 4 + 4 + 8 + 4 + 4;
// A sample: local time (8), result (1), scan (1), signal (1), test phase (1), rtt (2).
constexpr std::size_t kSampleBytes = 14;
constexpr std::size_t kWrittenAt = 12;
constexpr std::size_t kCounterAt = 20;
constexpr std::size_t kTestAt = 24;
// Windows of earlier builds refuse a whole record whose state they do not
// know; this one reads such a state as none.
constexpr LagTestState kOldestKnownLast = LagTestState::Refused;
// After the ring: a tag, the run's state (reason, flags, pause minutes, the
// program's name), then one byte of scans per place of the ring.
constexpr std::size_t kRingEnd = kHeaderBytes + kLagCapacity * kSampleBytes;
constexpr std::array<unsigned char, 4> kRunTag = {'N', 'R', 'U', 'N'};
constexpr std::size_t kRunAt = kRingEnd + 4;
constexpr std::size_t kProgramAt = kRunAt + 4;
constexpr std::size_t kScansAt = kProgramAt + kLagProgramBytes;
constexpr std::size_t kBlockEnd = kScansAt + kLagCapacity;
// Round trips beyond this are not answers in time for any probe of the program.
constexpr std::uint16_t kLongestRttMs = 60'000;

template <typename T>
T load(const unsigned char* at) {
    T value{};
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void store(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

std::size_t LagBlockBytes() { return kBlockEnd; }

LagWriter::LagWriter(unsigned char* block) : block_(block) {
    // The rest is zero already: a page of the ring is touched only once
    // samples reach it.
    std::memcpy(block_, kTag.data(), kTag.size());
    store<std::uint32_t>(block_ + 4, kLayoutVersion);
    store<std::uint32_t>(block_ + 8, kLagCapacity);
    std::memcpy(block_ + kRingEnd, kRunTag.data(), kRunTag.size());
}

void LagWriter::add(const LagSample& sample) {
    const auto counter = load<std::uint32_t>(block_ + kCounterAt);
    store<std::uint32_t>(block_ + kCounterAt, counter + 1);
    // Readers in other processes see the odd counter before any change.
    std::atomic_thread_fence(std::memory_order_release);
    const auto written = load<std::uint64_t>(block_ + kWrittenAt);
    unsigned char* at = block_ + kHeaderBytes + (written % kLagCapacity) * kSampleBytes;
    store<std::int64_t>(at, sample.localTime);
    at[8] = static_cast<unsigned char>(sample.result);
    at[9] = sample.scanOn ? 1 : 0;
    at[10] = static_cast<unsigned char>(sample.signal);
    at[11] = sample.testPhase;
    store<std::uint16_t>(at + 12, sample.result == LagResult::Answer ? sample.rttMs : 0);
    block_[kScansAt + written % kLagCapacity] = sample.scans;
    store<std::uint64_t>(block_ + kWrittenAt, written + 1);
    std::atomic_thread_fence(std::memory_order_release);
    store<std::uint32_t>(block_ + kCounterAt, counter + 2);
}

void LagWriter::setTest(LagTestStatus test) {
    const auto counter = load<std::uint32_t>(block_ + kCounterAt);
    store<std::uint32_t>(block_ + kCounterAt, counter + 1);
    std::atomic_thread_fence(std::memory_order_release);
    const bool known = test.state <= kOldestKnownLast;
    block_[kTestAt] = static_cast<unsigned char>(known ? test.state : LagTestState::None);
    block_[kTestAt + 1] = test.secondsLeft;
    block_[kTestAt + 2] = known ? 0 : static_cast<unsigned char>(test.state);
    block_[kTestAt + 3] = test.controlPaused ? 1 : 0;
    std::atomic_thread_fence(std::memory_order_release);
    store<std::uint32_t>(block_ + kCounterAt, counter + 2);
}

void LagWriter::setRun(const LagRunState& run) {
    const auto counter = load<std::uint32_t>(block_ + kCounterAt);
    store<std::uint32_t>(block_ + kCounterAt, counter + 1);
    std::atomic_thread_fence(std::memory_order_release);
    block_[kRunAt] = run.reason;
    block_[kRunAt + 1] = run.serviceWay ? 1 : 0;
    store<std::uint16_t>(block_ + kRunAt + 2, run.pauseMinutesLeft);
    const std::size_t length = std::min(run.program.size(), kLagProgramBytes - 1);
    std::memset(block_ + kProgramAt, 0, kLagProgramBytes);
    std::memcpy(block_ + kProgramAt, run.program.data(), length);
    std::atomic_thread_fence(std::memory_order_release);
    store<std::uint32_t>(block_ + kCounterAt, counter + 2);
}

std::uint32_t LagChangeCount(const unsigned char* bytes, std::size_t size) {
    return size >= kHeaderBytes ? load<std::uint32_t>(bytes + kCounterAt) : 0;
}

std::optional<LagRecordView> ReadLagBlock(const unsigned char* bytes, std::size_t size) {
    if (bytes == nullptr || size < kRingEnd) return std::nullopt;
    if (!std::equal(kTag.begin(), kTag.end(), bytes)) return std::nullopt;
    if (load<std::uint32_t>(bytes + 4) != kLayoutVersion) return std::nullopt;
    if (load<std::uint32_t>(bytes + 8) != kLagCapacity) return std::nullopt;
    // Odd: copied while the writer was at work.
    if (load<std::uint32_t>(bytes + kCounterAt) % 2 != 0) return std::nullopt;
    LagRecordView view;
    if (bytes[kTestAt + 1] > 2 * kLagTestPhaseSec) return std::nullopt;
    const unsigned char state = bytes[kTestAt + 2] != 0 ? bytes[kTestAt + 2] : bytes[kTestAt];
    view.test = {state > static_cast<unsigned char>(LagTestState::Paused)
                     ? LagTestState::None
                     : static_cast<LagTestState>(state),
                 bytes[kTestAt + 1], bytes[kTestAt + 3] != 0};
    // A run of an earlier build made a block without the part after the
    // ring; the view of it may go on in zeros to the page's end.
    const bool extended =
        size >= kBlockEnd && std::equal(kRunTag.begin(), kRunTag.end(), bytes + kRingEnd);
    if (extended) {
        LagRunState run;
        run.reason = bytes[kRunAt];
        run.serviceWay = bytes[kRunAt + 1] != 0;
        run.pauseMinutesLeft = load<std::uint16_t>(bytes + kRunAt + 2);
        const unsigned char* program = bytes + kProgramAt;
        const unsigned char* end = std::find(program, program + kLagProgramBytes - 1, 0);
        // A name goes to consoles: no control bytes.
        for (const unsigned char* at = program; at != end; ++at)
            run.program += *at < 0x20 || *at == 0x7F ? '?' : static_cast<char>(*at);
        view.run = run;
    }
    const auto written = load<std::uint64_t>(bytes + kWrittenAt);
    const std::uint64_t count = std::min<std::uint64_t>(written, kLagCapacity);
    std::vector<LagSample>& samples = view.samples;
    samples.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = written - count; i < written; ++i) {
        const unsigned char* at = bytes + kHeaderBytes + (i % kLagCapacity) * kSampleBytes;
        LagSample sample;
        sample.localTime = load<std::int64_t>(at);
        if (at[8] > static_cast<unsigned char>(LagResult::NoLink) || at[9] > 1 || at[11] > 2)
            return std::nullopt;
        sample.result = static_cast<LagResult>(at[8]);
        sample.scanOn = at[9] == 1;
        sample.signal = static_cast<std::int8_t>(at[10]);
        sample.testPhase = at[11];
        if (sample.signal < -1 || sample.signal > 100) return std::nullopt;
        sample.rttMs = load<std::uint16_t>(at + 12);
        sample.scans = extended ? bytes[kScansAt + i % kLagCapacity] : kScansUnknown;
        if (sample.rttMs > kLongestRttMs || (sample.result != LagResult::Answer && sample.rttMs != 0))
            return std::nullopt;
        // A time of before 1970 or past 9999 is none of the program's.
        if (sample.localTime < 0 || sample.localTime > 253'402'300'799) return std::nullopt;
        samples.push_back(sample);
    }
    return view;
}

std::vector<LagSample> LastLagTest(const std::vector<LagSample>& samples) {
    // Back from the newest sample to the newest test's first minute's start.
    auto end = samples.end();
    while (end != samples.begin() && (end - 1)->testPhase == 0) --end;
    auto begin = end;
    while (begin != samples.begin() && (begin - 1)->testPhase != 0 &&
           !((begin - 1)->testPhase == 2 && begin != end && begin->testPhase == 1))
        --begin;
    return {begin, end};
}

void LagTick::probed(bool answeredInTime, std::uint32_t roundTripMs) {
    sent_ = true;
    if (answeredInTime && (!fastestMs_ || roundTripMs < *fastestMs_)) fastestMs_ = roundTripMs;
}

LagResult LagTick::result() const {
    return fastestMs_ ? LagResult::Answer : sent_ ? LagResult::Late : LagResult::NoLink;
}

std::uint16_t LagTick::rttMs() const {
    return fastestMs_ ? static_cast<std::uint16_t>(std::min<std::uint32_t>(*fastestMs_, kLongestRttMs))
                      : 0;
}

bool LagTest::start() {
    if (running()) return false;
    status_ = {LagTestState::Running, static_cast<std::uint8_t>(2 * kLagTestPhaseSec)};
    ticks_ = 0;
    lateInRow_ = 0;
    return true;
}

std::uint8_t LagTest::phase() const {
    if (!running()) return 0;
    return ticks_ < kLagTestPhaseSec ? 1 : 2;
}

LagTest::Step LagTest::ticked(LagResult outcome) {
    if (!running()) return Step::None;
    ++ticks_;
    status_.secondsLeft = static_cast<std::uint8_t>(2 * kLagTestPhaseSec - ticks_);
    lateInRow_ = outcome == LagResult::Late ? lateInRow_ + 1 : 0;
    if (outcome == LagResult::NoLink || lateInRow_ >= kLagTestLateInRow) {
        status_ = {LagTestState::LinkLost, 0};
        return Step::LinkLost;
    }
    if (ticks_ == kLagTestPhaseSec) return Step::ScanOff;
    if (ticks_ == 2 * kLagTestPhaseSec) {
        status_ = {LagTestState::Finished, 0};
        return Step::HandBack;
    }
    return Step::None;
}

void LagTest::end(LagTestState why) {
    if (running()) status_ = {why, 0};
}

void LagTest::refuse() {
    if (running()) status_ = {LagTestState::Refused, 0};
}

LagFigures FiguresOf(const std::vector<LagSample>& samples, std::optional<bool> scanOn) {
    LagFigures figures;
    std::vector<std::uint32_t> rtts;
    // A scan reported in the same second, or in a sample a second before or after.
    const auto scanned = [&](std::size_t i) {
        return samples[i].scans != kScansUnknown && samples[i].scans > 0;
    };
    const auto nearScan = [&](std::size_t i) {
        for (std::size_t j = i > 0 ? i - 1 : 0; j <= i + 1 && j < samples.size(); ++j)
            if (scanned(j) && std::abs(samples[j].localTime - samples[i].localTime) <= 1)
                return true;
        return false;
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const LagSample& s = samples[i];
        if (scanOn && s.scanOn != *scanOn) continue;
        ++figures.seconds;
        const bool spike = s.result == LagResult::Late ||
                           (s.result == LagResult::Answer && s.rttMs >= kLagSpikeMs);
        if (spike) ++figures.spikes;
        if (spike && nearScan(i)) ++figures.spikesNearScan;
        if (s.result == LagResult::Answer) rtts.push_back(s.rttMs);
    }
    figures.answers = static_cast<std::uint32_t>(rtts.size());
    if (rtts.empty()) return figures;
    std::sort(rtts.begin(), rtts.end());
    const auto rank = [&](std::size_t percent) {
        // The smallest rank r with r / n >= percent / 100, counted from 1.
        const std::size_t r = (rtts.size() * percent + 99) / 100;
        return rtts[std::max<std::size_t>(r, 1) - 1];
    };
    figures.medianMs = rank(50);
    figures.p99Ms = rank(99);
    figures.worstMs = rtts.back();
    return figures;
}

std::optional<std::uint32_t> ScansOf(const std::vector<LagSample>& samples,
                                     std::optional<bool> scanOn) {
    std::optional<std::uint32_t> scans;
    for (const LagSample& s : samples) {
        if (s.scans == kScansUnknown || (scanOn && s.scanOn != *scanOn)) continue;
        scans = scans.value_or(0) + s.scans;
    }
    return scans;
}

std::string LagTimeText(std::int64_t localTime) {
    // Before 1970 is no time of the program's.
    localTime = std::max<std::int64_t>(localTime, 0);
    // Days to a civil date in the proleptic Gregorian calendar.
    const std::int64_t days = localTime / 86400;
    const std::int64_t secondsOfDay = localTime % 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = z / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    // By hand rather than through the C library's formatted printing, which
    // would bring its whole number formatting into the program file.
    std::string text;
    for (std::int64_t rest = year, digits = 0; digits < 4 || rest > 0; ++digits, rest /= 10)
        text.insert(text.begin(), static_cast<char>('0' + rest % 10));
    const std::int64_t fields[] = {month, day, secondsOfDay / 3600, secondsOfDay / 60 % 60,
                                   secondsOfDay % 60};
    for (int i = 0; i < 5; ++i) {
        text += "-- ::"[i];
        text += static_cast<char>('0' + fields[i] / 10);
        text += static_cast<char>('0' + fields[i] % 10);
    }
    return text;
}

std::string LagCsv(const std::vector<LagSample>& samples) {
    std::string csv = "time,scan,result,rtt_ms,signal,scans\r\n";
    for (const LagSample& s : samples) {
        csv += LagTimeText(s.localTime);
        csv += s.scanOn ? ",on," : ",off,";
        switch (s.result) {
            case LagResult::Answer: csv += "answer," + std::to_string(s.rttMs); break;
            case LagResult::Late: csv += "late,"; break;
            case LagResult::NoLink: csv += "nolink,"; break;
        }
        csv += ',';
        if (s.signal >= 0) csv += std::to_string(s.signal);
        csv += ',';
        if (s.scans != kScansUnknown) csv += std::to_string(s.scans);
        csv += "\r\n";
    }
    return csv;
}

}  // namespace core
