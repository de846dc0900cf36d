// The router list: the list box entries (a blank, then the address), their
// stored form as values ip1, ip2, ... of the "IPList" subkey, and the panel
// that edits them.
#include <algorithm>

#include "settings/IpAddress.h"
#include "settings/Settings.h"
#include "settings/Store.h"
#include "shell/TF_nolvara.h"

namespace shell {

namespace {
using settings::RouterValueName;

}  // namespace

std::string TF_nolvara::RouterAddress(int index) const {
    return list_ip.items().at(index).substr(1);
}

std::vector<std::string> TF_nolvara::RouterAddresses() const {
    std::vector<std::string> addresses;
    for (const std::string& entry : list_ip.items()) addresses.push_back(entry.substr(1));
    return addresses;
}

std::string TF_nolvara::RouterTransferText() const {
    std::string text;
    for (int i = 0; i < list_ip.count(); ++i) {
        text += ';';
        text += RouterAddress(i);
    }
    if (!text.empty()) text.erase(0, 1);
    return text + ";";
}

void TF_nolvara::SaveIPList(const std::string& transferText) {
    std::vector<std::string> addresses;
    std::string rest = transferText == ";" ? std::string() : transferText;
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        addresses.push_back(rest.substr(0, end));
        rest.erase(0, end == std::string::npos ? rest.size() : end + 1);
    }
    // The organisation's list is never written into the user's.
    if (!policies.routers) {
        auto reg = platform.registry.open();
        settings::Guarded([&] {
            if (reg->openKey(settings::kRouterListKey, true))
                settings::WriteNumberedList(*reg, addresses, RouterValueName);
        });
    }
    RemoveKeyIfDefault();
}

void TF_nolvara::MigrateRouterIP() {
    auto reg = platform.registry.open();
    settings::Guarded([&] {
        if (!reg->openKey(settings::kSettingsKey, true) || !reg->valueExists("routerip")) return;
        const std::string address = reg->readText("routerip");
        // Into the list first; the old value goes only once the address is
        // stored there, so that a failed write loses nothing.
        if (!reg->openKey(settings::kRouterListKey, true)) return;
        int n = 1;
        while (reg->valueExists(RouterValueName(n))) ++n;
        reg->writeText(RouterValueName(n), address);
        if (reg->openKey(settings::kSettingsKey, false)) reg->deleteValue("routerip");
    });
}

void TF_nolvara::E_routeripClick() {
    if (E_routerip.text() == LookupText("routerinput")) E_routerip.setText("");
}

void TF_nolvara::B_addipClick() {
    std::string normal = E_routerip.text();
    const std::vector<std::string> entries = list_ip.items();
    if (settings::IsValidIP(normal) &&
        std::find(entries.begin(), entries.end(), settings::RouterEntry(normal)) == entries.end())
        list_ip.add(settings::RouterEntry(E_routerip.text()));
    E_routerip.setFocus();
}

void TF_nolvara::B_ipdeleteClick() { list_ip.removeSelected(); }

void TF_nolvara::B_ipupClick() {
    const int i = list_ip.itemIndex();
    if (i <= 0) return;
    list_ip.exchange(i, i - 1);
}

void TF_nolvara::B_ipdownClick() {
    const int i = list_ip.itemIndex();
    if (i < 0 || i >= list_ip.count() - 1) return;
    list_ip.exchange(i, i + 1);
}

void TF_nolvara::B_saveipClick() {
    SaveIPList(RouterTransferText());
    ShowPanel("settings");
}

}  // namespace shell
