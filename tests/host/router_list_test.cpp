#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "settings/IpAddress.h"

namespace {

TEST(IsValidIP, AcceptsFourFieldsUpTo254AndNormalises) {
    const std::pair<const char*, const char*> valid[] = {
        {"192.168.0.254", "192.168.0.254"},
        {"0.0.0.1", "0.0.0.1"},
        {"010.000.000.001", "10.0.0.1"},
        {"192.168.001.010", "192.168.1.10"},
        {"10..0.1", "10.0.0.1"},
        {"...1", "0.0.0.1"},
        {"0000254.1.1.1", "254.1.1.1"},
    };
    for (auto [input, normal] : valid) {
        std::string text = input;
        EXPECT_TRUE(settings::IsValidIP(text)) << input;
        EXPECT_EQ(text, normal) << input;
    }
    const char* invalid[] = {
        "192.168.0.255", "0.0.0.0",      "000.0.00.0", "...",
        " 192.168.0.1",  "192.168.0.1.", "192.168.0",  "192.168.0.a",
        "1.2.3.-4",      "1.2.3.4 ",     "",           "99999999999999999999.1.1.1"};
    for (const char* input : invalid) {
        std::string text = input;
        EXPECT_FALSE(settings::IsValidIP(text)) << input;
        EXPECT_EQ(text, input) << "an invalid text stays as it was";
    }
}

TEST(RouterList, LoadSkipsInvalidAndDuplicateValuesAndStopsAtAGap) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setText(kIpList, "ip1", "abc");
    r.setText(kIpList, "ip2", "192.168.0.1");
    r.setText(kIpList, "ip3", "192.168.0.1");
    r.setText(kIpList, "ip4", "10.0.0.1");
    r.setText(kIpList, "ip6", "10.0.0.2");
    p.start();
    EXPECT_EQ(p.window.list_ip.items(), (std::vector<std::string>{" 192.168.0.1", " 10.0.0.1"}));
    EXPECT_EQ(p.window.E_routerip.text(), "");
}

TEST(RouterList, PanelAddsOnlyNewValidAddressesAsTyped) {
    ProgramRig p;
    p.start();
    auto& w = p.window;
    w.E_routerip.click();
    EXPECT_EQ(w.E_routerip.text(), "") << "the prompt is cleared by a click";
    for (const char* typed :
         {"010.000.000.001", "10.0.0.1", "192.168.0.1", "192.168.000.001", "192.168.0.255", "x"}) {
        w.E_routerip.type(typed);
        w.B_addip.click();
        EXPECT_EQ(w.E_routerip.text(), typed) << "the edit keeps its text";
    }
    // The duplicate check compares the normal form with the entries as shown,
    // so an address typed in another form gets in once more until a reload.
    EXPECT_EQ(w.list_ip.items(),
              (std::vector<std::string>{" 010.000.000.001", " 10.0.0.1", " 192.168.0.1"}));
    w.E_routerip.click();
    EXPECT_EQ(w.E_routerip.text(), "x") << "a typed address is not a prompt";

    w.B_saveip.click();
    EXPECT_TRUE(w.box_settings.visible());
    w.LoadSettings();
    EXPECT_EQ(w.list_ip.items(), (std::vector<std::string>{" 10.0.0.1", " 192.168.0.1"}));
}

TEST(RouterList, DeleteUpAndDownMoveTheSelectionWithTheEntry) {
    ProgramRig p;
    p.start();
    auto& l = p.window.list_ip;
    for (const char* a : {" 1.1.1.1", " 2.2.2.2", " 3.3.3.3"}) l.add(a);

    l.setItemIndex(0);
    p.window.B_ipup.click();
    EXPECT_EQ(l.items()[0], " 1.1.1.1");
    p.window.B_ipdown.click();
    EXPECT_EQ(l.items(), (std::vector<std::string>{" 2.2.2.2", " 1.1.1.1", " 3.3.3.3"}));
    EXPECT_EQ(l.itemIndex(), 1);
    l.setItemIndex(2);
    p.window.B_ipdown.click();
    EXPECT_EQ(l.items()[2], " 3.3.3.3");
    p.window.B_ipup.click();
    EXPECT_EQ(l.items(), (std::vector<std::string>{" 2.2.2.2", " 3.3.3.3", " 1.1.1.1"}));
    EXPECT_EQ(l.itemIndex(), 1);

    l.setItemIndex(2);
    p.window.B_ipdelete.click();
    EXPECT_EQ(l.itemIndex(), 1) << "the new last entry";
    l.setItemIndex(0);
    p.window.B_ipdelete.click();
    EXPECT_EQ(l.items(), (std::vector<std::string>{" 3.3.3.3"}));
    EXPECT_EQ(l.itemIndex(), 0) << "the entry that moved up";
    p.window.B_ipdelete.click();
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(l.itemIndex(), -1);
    p.window.B_ipdelete.click();
    p.window.B_ipup.click();
    p.window.B_ipdown.click();
    EXPECT_EQ(l.count(), 0);
}

TEST(RouterList, SaveReplacesTheStoredListWholly) {
    ProgramRig p;
    auto& r = p.world.registry;
    for (int n : {1, 2, 3, 5})
        r.setText(kIpList, "ip" + std::to_string(n), "9.9.9." + std::to_string(n));
    r.setText(kIpList, "stray", "x");
    p.start();
    p.window.SaveIPList("10.0.0.1;10.0.0.2;");
    EXPECT_EQ(r.valueNames(kIpList), (std::vector<std::string>{"ip1", "ip2"}));
    EXPECT_EQ(r.get(kIpList, "ip2")->text, "10.0.0.2");

    p.window.list_ip.clear();
    p.window.B_saveipClick();
    EXPECT_TRUE(r.valueNames(kIpList).empty());
}

TEST(RouterList, FailedSaveNeverStoresFewerAddressesThanBefore) {
    ProgramRig p;
    auto& r = p.world.registry;
    for (int n = 1; n <= 3; ++n)
        r.setText(kIpList, "ip" + std::to_string(n), "9.9.9." + std::to_string(n));
    p.start();
    r.writesBeforeFailure = r.writes + 1;
    p.window.SaveIPList("10.0.0.1;10.0.0.2;");
    EXPECT_EQ(r.valueNames(kIpList), (std::vector<std::string>{"ip1", "ip2", "ip3"}));
    EXPECT_EQ(r.get(kIpList, "ip1")->text, "10.0.0.1");
    EXPECT_EQ(r.get(kIpList, "ip2")->text, "9.9.9.2");
    EXPECT_EQ(r.opened, r.released);
}

TEST(RouterList, MigrationAppendsTheFormerSingleAddress) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setText("SOFTWARE\\Nolvara", "routerip", "192.168.2.1");
    r.setText(kIpList, "ip1", "10.0.0.1");
    r.setText(kIpList, "ip2", "10.0.0.2");
    p.window.MigrateRouterIP();
    EXPECT_EQ(r.get(kIpList, "ip3")->text, "192.168.2.1");
    EXPECT_FALSE(r.get("SOFTWARE\\Nolvara", "routerip"));
    p.window.MigrateRouterIP();
    EXPECT_FALSE(r.get(kIpList, "ip4"));
}

TEST(RouterList, AMigrationThatCannotWriteKeepsTheFormerAddress) {
    for (const bool denied : {false, true}) {
        ProgramRig p;
        auto& r = p.world.registry;
        r.setText("SOFTWARE\\Nolvara", "routerip", "192.168.2.1");
        if (denied)
            r.deniedKeys = {"software\\nolvara\\iplist"};
        else
            r.writesBeforeFailure = r.writes;
        p.window.MigrateRouterIP();
        EXPECT_EQ(r.get("SOFTWARE\\Nolvara", "routerip")->text, "192.168.2.1") << denied;
        EXPECT_FALSE(r.get(kIpList, "ip1")) << denied;
    }
}

}  // namespace
