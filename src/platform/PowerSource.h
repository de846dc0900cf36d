// Where the machine draws its power from.
#pragma once

namespace platform {

class PowerSource {
public:
    virtual ~PowerSource() = default;
    // True while it runs on its battery; false on mains, or where the
    // system cannot tell (a desktop without a battery says "unknown").
    virtual bool onBattery() = 0;
};

}  // namespace platform
