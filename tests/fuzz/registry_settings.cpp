// The settings as the registry holds them: any value under SOFTWARE\Nolvara
// and its IPList subkey may have another type, size or content than the
// program wrote, and the program loads them all the same.
//
// The input is lines of "<key><type><name>=<value>": key S (the settings key)
// or I (IPList); type s (REG_SZ), e (REG_EXPAND_SZ), b (REG_BINARY) or d
// (REG_DWORD, the value in decimal, wrapping at 32 bits). A REG_DWORD of a size
// other than four bytes reads as no integer, just as REG_BINARY does. The
// lines "!S" and "!I" make that key one that cannot be opened; "!M" moves a
// former "routerip" value into the list first, as an update does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Require.h"
#include "core/Convert.h"
#include "host/ProgramRig.h"
#include "settings/IpAddress.h"

namespace {

std::int32_t wrappingDecimal(const std::string& text) {
    std::uint32_t value = 0;
    size_t i = text.starts_with('-') ? 1 : 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (text.starts_with('-')) value = 0 - value;
    return static_cast<std::int32_t>(value);
}

std::optional<fakes::RegType> bytesType(char letter) {
    switch (letter) {
        case 's':
            return fakes::RegType::Sz;
        case 'e':
            return fakes::RegType::ExpandSz;
        case 'b':
            return fakes::RegType::Binary;
        default:
            return std::nullopt;
    }
}

// Fills the registry; true when the former value is to be moved first.
bool storeValues(const std::string& input, fakes::FakeRegistry& registry) {
    bool migrate = false;
    size_t start = 0;
    while (start < input.size()) {
        const size_t end = std::min(input.find('\n', start), input.size());
        const std::string line = input.substr(start, end - start);
        start = end + 1;
        if (line == "!S") registry.deniedKeys.push_back("software\\nolvara");
        if (line == "!I") registry.deniedKeys.push_back("software\\nolvara\\iplist");
        if (line == "!M") migrate = true;
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals < 2) continue;
        const char* key = line[0] == 'S' ? kKey : line[0] == 'I' ? kIpList : nullptr;
        if (key == nullptr) continue;
        const std::string name = line.substr(2, equals - 2);
        const std::string value = line.substr(equals + 1);
        if (line[1] == 'd')
            registry.setInteger(key, name, wrappingDecimal(value));
        else if (const std::optional<fakes::RegType> type = bytesType(line[1]))
            registry.set(key, name, {*type, value, 0});
    }
    return migrate;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    ProgramRig p;
    const bool migrate = storeValues(input, p.world.registry);
    const size_t listValues = p.world.registry.valueNames(kIpList).size() + (migrate ? 1 : 0);

    if (migrate) p.window.MigrateRouterIP();
    p.window.LoadSettings();
    const std::vector<std::string> loaded = p.window.list_ip.items();
    FUZZ_REQUIRE(loaded.size() <= listValues);
    for (const std::string& entry : loaded) {
        FUZZ_REQUIRE(!entry.empty() && entry[0] == ' ');
        std::string address = entry.substr(1);
        FUZZ_REQUIRE(settings::IsValidIP(address) && address == entry.substr(1));
    }
    // The hidden run makes its timer from it in milliseconds.
    const std::int32_t delay = p.window.state.shutdownDelay;
    FUZZ_REQUIRE(delay >= 0 && delay <= core::kMaxDelaySec);
    // Every key a load opens is released again, whatever it read.
    FUZZ_REQUIRE(p.world.registry.opened == p.world.registry.released);

    // Nothing a load does changes what the next load finds.
    p.window.LoadSettings();
    FUZZ_REQUIRE(p.window.list_ip.items() == loaded);
    return 0;
}
