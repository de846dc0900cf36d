// What a first run proposes as the router: the gateway of the wireless
// adapter that carries the default route. Most people do not know their
// router's address, and the adapter that takes them to the internet over
// Wi-Fi knows it. Nothing here knows of Windows beyond the adapters' names.
#pragma once

#include <string>
#include <vector>

#include "platform/AdapterInfo.h"
#include "platform/NativeWifi.h"

namespace core {

// Whether the IP Helper's name of an adapter, its GUID in braces, is the
// identity of the wireless interface; hexadecimal digits in either case.
bool NamesInterface(const std::string& name, const platform::WifiInterfaceId& id);

// The place in adapters of the adapter to propose, or -1 for none. An
// adapter carries the default route where it has a gateway. wireless lists
// the Native Wifi interfaces; without such a list (nullptr: XP) any adapter
// may be the wireless one. Only a single candidate is proposed: of two,
// guessing would be wrong half the time, and the user chooses as before.
int ProposedAdapter(const std::vector<platform::AdapterRecord>& adapters,
                    const std::vector<platform::WifiInterfaceId>* wireless);

}  // namespace core
