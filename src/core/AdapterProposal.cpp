#include "core/AdapterProposal.h"

#include <cstdint>

#include "core/Convert.h"

namespace core {

bool NamesInterface(const std::string& name, const platform::WifiInterfaceId& id) {
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": a GUID's first three fields
    // lie little-endian, its last eight bytes in their order.
    static constexpr std::uint8_t kOrder[] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
    std::size_t at = 1;
    for (std::size_t i = 0; i < std::size(kOrder); ++i) {
        if ((i == 4 || i == 6 || i == 8 || i == 10) && name[at++] != '-') return false;
        int byte = 0;
        for (int half = 0; half < 2; ++half) {
            const int digit = HexDigitValue(name[at++]);
            if (digit < 0) return false;
            byte = byte * 16 + digit;
        }
        if (byte != id[kOrder[i]]) return false;
    }
    return true;
}

int ProposedAdapter(const std::vector<platform::AdapterRecord>& adapters,
                    const std::vector<platform::WifiInterfaceId>* wireless) {
    int proposed = -1;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        bool isWireless = wireless == nullptr;
        for (std::size_t w = 0; !isWireless && w < wireless->size(); ++w)
            isWireless = NamesInterface(adapters[i].name, (*wireless)[w]);
        if (adapters[i].gateway.empty() || !isWireless) continue;
        if (proposed >= 0) return -1;
        proposed = static_cast<int>(i);
    }
    return proposed;
}

}  // namespace core
