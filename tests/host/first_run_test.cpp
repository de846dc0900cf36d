#include <gtest/gtest.h>

#include "ProgramRig.h"

TEST(FirstRun, TheWirelessAdapterWithTheDefaultRouteIsProposedAndStoredOnEnabling) {
    using R = fakes::FakeRegistry;
    const std::string wifi = "{6E6F6C76-6172-6120-7465-737420776c61}";  // of the bytes below
    const platform::WifiInterfaceId id = {0x76, 0x6c, 0x6f, 0x6e, 0x72, 0x61, 0x20, 0x61,
                                          0x74, 0x65, 0x73, 0x74, 0x20, 0x77, 0x6c, 0x61};
    const auto list = [](R& r) { r.setText(kIpList, "ip1", "192.168.0.1"); };
    const auto dhcpOff = [](R& r) { r.setInteger(kKey, "use_dhcp", 0); };
    const auto oldRouter = [](R& r) { r.setText(kKey, "routerip", "192.168.0.1"); };
    const struct {
        bool xp, wiredRoutes, wifiRoutes;
        void (*stored)(R&);
        std::vector<std::string> run;  // none: the window
        bool proposed;
    } cases[] = {
        {false, true, false, nullptr, {}, false},    // wired routes, Wi-Fi unconnected
        {false, false, true, nullptr, {}, true},     // the Wi-Fi adapter routes
        {false, false, false, nullptr, {}, false},   // none routes
        {false, false, true, list, {}, false},       // settings exist: a router list,
        {false, false, true, dhcpOff, {}, false},    // DHCP mode chosen off,
        {false, false, true, oldRouter, {}, false},  // the first versions' router
        {false, false, true, nullptr, {"-noguiinst", "-ip", "10.0.0.1"}, false},
        {false, false, true, nullptr, {"-hide"}, false},  // no window, nothing proposed
        {true, false, true, nullptr, {}, true},           // XP: the one adapter that routes
        {true, true, true, nullptr, {}, false},           // XP: two route, no guess
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ProgramRig p(c.run);
        if (c.xp) p.world.registry.setInteger(kService, "Start", 2);
        if (!c.xp) p.world.wifi.addConnectedInterface();
        if (!c.xp) p.world.wifi.interfaces[0].info.id = id;
        if (c.stored) c.stored(p.world.registry);
        p.world.adapters.list = {{"{W}", "Wired", c.wiredRoutes ? "10.0.0.1" : ""},
                                 {wifi, "Wi-Fi", c.wifiRoutes ? "192.168.1.1" : ""}};
        p.world.files.addFile(kSelf, "program");
        p.start();
        EXPECT_EQ(p.window.chk_dhcp.checked(), c.proposed);
        EXPECT_FALSE(p.world.registry.get(kKey, "adapter")) << "stored before enabling";
        if (c.run.empty()) p.window.Menu_autocontrol.click();
        const auto dhcp = p.world.registry.get(kKey, "use_dhcp");
        const auto adapter = p.world.registry.get(kKey, "adapter");
        EXPECT_EQ(dhcp && dhcp->number == 1, c.proposed);
        EXPECT_EQ(adapter ? adapter->text : "", c.proposed ? wifi : "");
    }
}
