#include <gtest/gtest.h>

#include "ProgramRig.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kNotAvailable = "Not available!";

class Dhcp : public testing::Test {
protected:
    Dhcp() {
        p.world.adapters.list = {
            {"{A}", "Wired Adapter", "10.0.0.1"},
            {"{B}", "Wireless Adapter", ""},
            {"{C}", "USB Wireless", "192.168.2.1"},
        };
        p.world.icmp.answer("10.0.0.1", {platform::EchoStatus::EchoReply, 7});
        p.world.icmp.answer("192.168.2.1", {platform::EchoStatus::EchoReply, 99});
    }
    void openPanel() {
        p.window.chk_dhcp.click();
        p.window.B_dhcpconfig.click();
    }
    ProgramRig p;
};

TEST_F(Dhcp, CheckBoxChoosesBetweenTheTwoRouterButtons) {
    p.start();
    auto& w = p.window;
    EXPECT_TRUE(w.B_manageip.enabled());
    EXPECT_FALSE(w.B_dhcpconfig.enabled());
    w.chk_dhcp.click();
    EXPECT_FALSE(w.B_manageip.enabled());
    EXPECT_TRUE(w.B_dhcpconfig.enabled());
    w.chk_dhcp.click();
    EXPECT_TRUE(w.B_manageip.enabled());
    EXPECT_FALSE(w.B_dhcpconfig.enabled());
}

TEST_F(Dhcp, OpeningThePanelListsAdaptersSelectsTheStoredOneAndTestsItsGateway) {
    p.world.registry.setText("SOFTWARE\\Nolvara", "adapter", "{C}");
    p.start();
    openPanel();
    auto& w = p.window;
    EXPECT_TRUE(w.box_dhcp.visible());
    EXPECT_EQ(w.combo_dhcpadapter.items(), (Lines{" Wired Adapter", " Wireless Adapter", " USB Wireless"}));
    EXPECT_TRUE(w.combo_dhcpadapter.enabled());
    EXPECT_EQ(w.combo_dhcpadapter.itemIndex(), 2);
    EXPECT_EQ(w.list_adapterinfo.items(), (Lines{"Informationen:", "", "Gateway: 192.168.2.1", "Ping: 99ms"}));
    EXPECT_EQ(w.L_dhcpinfo.text(),
              "The device responded. If you chose the correct adapter, all settings are correct, too.");
    ASSERT_EQ(p.world.icmp.requests.size(), 1u);
    EXPECT_EQ(p.world.icmp.requests[0].ttl, 128);
}

TEST_F(Dhcp, VerdictNeedsAnEchoReplyWithinTheTimeout) {
    p.start();
    p.world.icmp.answer("10.0.0.1", {platform::EchoStatus::EchoReply, 100});
    openPanel();  // no stored adapter: the first entry
    EXPECT_EQ(p.window.list_adapterinfo.items().back(), "Ping: Error");
    EXPECT_EQ(p.window.L_dhcpinfo.text().rfind("The device did not respond.", 0), 0u);
    p.world.icmp.silence("10.0.0.1");
    p.window.combo_dhcpadapter.select(0);
    EXPECT_EQ(p.window.list_adapterinfo.items().back(), "Ping: Error");
    p.world.icmp.answer("10.0.0.1", {platform::EchoStatus::DestinationUnreachable, 3});
    p.window.combo_dhcpadapter.select(0);
    EXPECT_EQ(p.window.list_adapterinfo.items().back(), "Ping: Error");
}

TEST_F(Dhcp, PickingAnAdapterWithoutGatewaySendsNothing) {
    p.start();
    openPanel();
    const size_t sent = p.world.icmp.requests.size();
    p.window.combo_dhcpadapter.select(1);
    EXPECT_EQ(p.window.list_adapterinfo.items(),
              (Lines{"Informationen:", "", "Gateway: " + kNotAvailable, "Ping: Error"}));
    EXPECT_EQ(p.window.L_dhcpinfo.text(),
              "Could not read IP. Please check, whether the chosen adapter is correct and a gateway is assigned.");
    EXPECT_EQ(p.world.icmp.requests.size(), sent);

    p.world.icmp.linkDown = true;
    p.window.combo_dhcpadapter.select(0);
    EXPECT_EQ(p.window.L_dhcpinfo.text().rfind("The device did not respond.", 0), 0u)
        << "a send that fails is the same verdict";
}

TEST_F(Dhcp, SaveTakesTheFirstAdapterOfTheChosenDescription) {
    p.world.adapters.list.push_back({"{D}", "Wired Adapter", "10.9.9.9"});
    p.start();
    openPanel();
    p.window.B_dhcpsave.click();
    EXPECT_EQ(p.window.state.adapterName, "{A}");
    EXPECT_TRUE(p.window.box_settings.visible());
    EXPECT_EQ(p.world.icmp.requests.back().host, "10.0.0.1");
}

TEST_F(Dhcp, NoAdaptersLeaveTheBoxEmptyAndDisabled) {
    p.world.adapters.list.clear();
    p.start();
    p.window.L_dhcpinfo.setText("earlier verdict");
    openPanel();
    EXPECT_EQ(p.window.combo_dhcpadapter.count(), 0);
    EXPECT_FALSE(p.window.combo_dhcpadapter.enabled());
    EXPECT_EQ(p.window.L_dhcpinfo.text(), "earlier verdict");
    EXPECT_TRUE(p.world.icmp.requests.empty());
    p.window.B_dhcpsave.click();
    EXPECT_EQ(p.window.state.adapterName, "");
}

TEST_F(Dhcp, AnUnopenableIcmpServiceReachesTheWindowsErrorReport) {
    p.start();
    p.window.chk_dhcp.click();
    p.world.icmp.openFails = true;
    // The binding turns what escapes a handler into the error box.
    EXPECT_THROW(p.window.B_dhcpconfig.click(), platform::IcmpOpenError);
    EXPECT_EQ(p.window.list_adapterinfo.items(), (Lines{"Informationen:", "", "Gateway: 10.0.0.1"}))
        << "no verdict";
}

TEST_F(Dhcp, ProbeLoopPingsTheStoredAdaptersGatewayAndKeepsTheLastOne) {
    auto& r = p.world.registry;
    r.setInteger("SYSTEM\\CurrentControlSet\\Services\\WZCSVC", "Start", 2);
    r.setInteger("SOFTWARE\\Nolvara", "use_dhcp", 1);
    r.setText("SOFTWARE\\Nolvara", "adapter", "{A}");
    r.setInteger("SOFTWARE\\Nolvara", "version", 6);
    r.setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.7.7.7");
    p.world.system.args.push_back("-hide");
    p.start();
    p.world.runFor(1000);
    ASSERT_EQ(p.world.icmp.requests.size(), 1u);
    EXPECT_EQ(p.world.icmp.requests[0].host, "10.0.0.1");
    EXPECT_EQ(p.window.Statusbar.panelText(1), "DHCP");

    // The adapter loses its gateway: the last one seen is still probed.
    p.world.adapters.list[0].gateway = "";
    p.world.runFor(1000);
    EXPECT_EQ(p.world.icmp.requests.back().host, "10.0.0.1");
    EXPECT_FALSE(p.window.state.connectionLost);
}

TEST_F(Dhcp, TheListIsWalkedAgainWhenAnAddressChangedTheGatewayFellSilentOrAMinutePassed) {
    auto& r = p.world.registry;
    r.setInteger("SYSTEM\\CurrentControlSet\\Services\\WZCSVC", "Start", 2);
    r.setInteger("SOFTWARE\\Nolvara", "use_dhcp", 1);
    r.setText("SOFTWARE\\Nolvara", "adapter", "{A}");
    p.world.system.args.push_back("-hide");
    p.start();
    p.world.runFor(3000);
    const int walks = p.world.adapters.walks;
    p.world.runFor(30'000);
    EXPECT_EQ(p.world.adapters.walks, walks) << "nothing new was reported";

    auto& gateway = p.world.adapters.list[0].gateway;
    const auto probesAfter = [&](int ms) {
        p.world.runFor(ms);
        return p.world.icmp.requests.back().host;
    };
    gateway = "10.0.0.254";
    p.world.icmp.answer(gateway, {platform::EchoStatus::EchoReply, 7});
    p.world.adapters.addressChangeReported = true;
    EXPECT_EQ(probesAfter(1000), "10.0.0.254") << "the system reported the change";

    // Replaced without a report: the old gateway falls silent.
    p.world.icmp.silence("10.0.0.254");
    gateway = "10.0.0.1";
    EXPECT_EQ(probesAfter(1000), "10.0.0.254");
    EXPECT_EQ(probesAfter(1000), "10.0.0.1") << "the tick after the silence";

    // Replaced without a report while the old one still answers.
    gateway = "10.0.0.77";
    p.world.icmp.answer(gateway, {platform::EchoStatus::EchoReply, 7});
    EXPECT_EQ(probesAfter(60'000), "10.0.0.77") << "within a minute";
}

TEST_F(Dhcp, WithoutAnyGatewayTheListIsProbedAndTheLinkCountsAsLost) {
    auto& r = p.world.registry;
    r.setInteger("SYSTEM\\CurrentControlSet\\Services\\WZCSVC", "Start", 2);
    r.setInteger("SOFTWARE\\Nolvara", "use_dhcp", 1);
    r.setText("SOFTWARE\\Nolvara", "adapter", "{B}");
    r.setText("SOFTWARE\\Nolvara\\IPList", "ip1", "10.7.7.7");
    p.world.system.args.push_back("-hide");
    p.start();
    // As this run had switched it off.
    r.setInteger("SYSTEM\\CurrentControlSet\\Services\\WZCSVC", "Start", 4);
    p.world.runFor(1000);
    EXPECT_EQ(p.window.Statusbar.panelText(1), "Static");
    EXPECT_EQ(p.world.icmp.requests.back().host, "10.7.7.7");
    EXPECT_TRUE(p.window.state.connectionLost);
    p.world.runFor(150);
    EXPECT_EQ(r.get("SYSTEM\\CurrentControlSet\\Services\\WZCSVC", "Start")->number, 2);
}

}  // namespace
