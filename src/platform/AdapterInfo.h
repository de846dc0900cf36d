// The machine's network adapters as the IP Helper lists them.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct AdapterRecord {
    std::string name;         // the system's stable identity of the adapter
    std::string description;  // the name a person reads
    std::string gateway;      // the last gateway entry; empty when there is none
};

class AdapterInfo {
public:
    virtual ~AdapterInfo() = default;
    // Every adapter in the system's order; empty when there are none or the
    // list cannot be read. Texts are read up to their end and trimmed of
    // blanks and control characters at both ends.
    virtual std::vector<AdapterRecord> adapters() = 0;
    // True when an address of an adapter may have changed since the last
    // call: at the first call, after the system reported a change, and at
    // every call where the system cannot report changes.
    virtual bool addressesChanged() = 0;
};

}  // namespace platform
