// DHCP mode: the router is the gateway of a chosen network adapter. The one
// walk over the adapter list fills the DHCP panel, shows and tests the chosen
// adapter's gateway, names the chosen adapter, and gives the probe loop the
// gateway of the stored one.
#include <exception>
#include <vector>

#include "core/AdapterProposal.h"
#include "shell/TF_nolvara.h"

namespace shell {

namespace {
// The key holds the Windows-1252 letter o-umlaut.
const std::string kNotAvailableKey = "dhcp_nichtm\xF6" "glich";
}  // namespace

std::string TF_nolvara::AdapterQuery(std::string_view command, std::string_view argument) {
    std::string result;
    const bool refresh = command == "refreshadapterlist";
    if (refresh) combo_dhcpadapter.clear();
    const int selected = combo_dhcpadapter.itemIndex();
    const std::string chosen =
        selected >= 0 ? combo_dhcpadapter.items()[static_cast<size_t>(selected)].substr(1) : "";
    int remembered = -1;

    for (const platform::AdapterRecord& adapter : platform.adapters.adapters()) {
        if (command == "showadapterinfo") {
            if (adapter.description != chosen) continue;
            if (argument == "gateway")
                ShowAndTestGateway(adapter.gateway);
            else if (argument == "adaptername")
                result = adapter.name;
            else {
                L_dhcpinfo.setText(LookupText("dhcp_getiperror"));
                list_adapterinfo.add("Ping: " + LookupText(kNotAvailableKey));
            }
            // One adapter at most is acted on.
            break;
        }
        if (command == "getadaptergateway") {
            if (adapter.name == argument) result = adapter.gateway;
        } else if (refresh) {
            combo_dhcpadapter.add(" " + adapter.description);
            if (adapter.name == state.adapterName) remembered = combo_dhcpadapter.count() - 1;
        }
    }

    if (refresh) {
        const bool any = combo_dhcpadapter.count() > 0;
        combo_dhcpadapter.setEnabled(any);
        combo_dhcpadapter.setItemIndex(remembered >= 0 ? remembered : (any ? 0 : -1));
        AdapterQuery("showadapterinfo", "gateway");
    }
    return result;
}

void TF_nolvara::ShowAndTestGateway(const std::string& gateway) {
    list_adapterinfo.clear();
    list_adapterinfo.add("Informationen:");
    list_adapterinfo.add("");
    if (gateway.empty()) {
        list_adapterinfo.add("Gateway: " + LookupText(kNotAvailableKey));
        list_adapterinfo.add("Ping: Error");
        L_dhcpinfo.setText(LookupText("dhcp_getiperror"));
        return;
    }
    list_adapterinfo.add("Gateway: " + gateway);
    icmp_testping.host = gateway;
    icmp_testping.ttl = 128;
    try {
        icmp_testping.ping(platform.icmp);
    } catch (const platform::IcmpOpenError&) {
        // Without the system's ICMP service there is no verdict: the window's
        // error report shows what failed.
        throw;
    } catch (const std::exception&) {
        L_dhcpinfo.setText(LookupText("dhcp_error"));
    }
}

void TF_nolvara::icmp_testpingReply(const core::EchoResult& reply) {
    if (icmp_testping.answeredInTime(reply)) {
        list_adapterinfo.add("Ping: " + std::to_string(reply.roundTripMs) + "ms");
        L_dhcpinfo.setText(LookupText("dhcp_succeed"));
    } else {
        list_adapterinfo.add("Ping: Error");
        L_dhcpinfo.setText(LookupText("dhcp_error"));
    }
}

void TF_nolvara::B_dhcpconfigClick() {
    // The user chooses there: the proposal's line would name what the
    // panel may no longer show.
    proposing = false;
    ShowPanel("managedhcp");
    AdapterQuery("refreshadapterlist", "");
}

void TF_nolvara::combo_dhcpadapterSelect() { AdapterQuery("showadapterinfo", "gateway"); }

void TF_nolvara::B_dhcpsaveClick() {
    state.adapterName = AdapterQuery("showadapterinfo", "adaptername");
    ShowPanel("settings");
}

void TF_nolvara::ProposeRouter() {
    // Without a way of control there is nothing to take the lag off.
    if (!routerUnchosen || controlWay == ControlWay::None) return;
    // XP has no list of its wireless interfaces: any adapter may be one.
    const bool xp = controlWay == ControlWay::Service;
    std::vector<platform::WifiInterfaceId> listed;
    if (!xp) {
        // The window's own handle lists them: nothing there asks for the
        // location consent.
        if (!wireless.open()) return;
        listed = wireless.interfaceIds();
    }
    const std::vector<platform::AdapterRecord> adapters = platform.adapters.adapters();
    const int chosen = core::ProposedAdapter(adapters, xp ? nullptr : &listed);
    if (chosen < 0) return;
    const platform::AdapterRecord& adapter = adapters[static_cast<std::size_t>(chosen)];
    state.adapterName = adapter.name;
    L_proposal.setText(LookupTextNaming("proposal", adapter.description));
    proposing = true;
    chk_dhcp.setChecked(true);
}

}  // namespace shell
