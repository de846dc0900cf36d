// Group Policy over the settings, and the administrative template that sets it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "ProgramRig.h"
#include "settings/Settings.h"

namespace {

using S = settings::Settings;
using fakes::RegType;
const std::string kPolicy = "SOFTWARE\\Policies\\Nolvara";
fakes::RegValue Dword(int n) { return {RegType::Dword, "", n}; }
fakes::RegValue Sz(const std::string& text) { return {RegType::Sz, text, 0}; }

TEST(Policies, EachOverridesTheUsersValueWhereItIsPresentAndValid) {
    S own;
    own.adapter = "{OWN}";
    own.onBattery = own.trayIcon = false;
    struct Row {
        const char* key;
        const char* name;
        fakes::RegValue value;
        std::function<void(S&)> governs;  // none: the user's own value holds
    };
    const Row rows[] = {
        {"", "shutdowndelay", Dword(5), [](S& s) { s.shutdownDelay = 5; }},
        {"", "shutdowndelay", Dword(3601), {}},
        {"", "shutdowndelay", Sz("5"), {}},
        {"", "restartservice", Dword(0), [](S& s) { s.restartService = false; }},
        {"", "checkforupdate", Dword(1), [](S& s) { s.checkForUpdate = true; }},
        {"", "use_dhcp", Dword(1), [](S& s) { s.useDhcp = true; }},
        {"", "adapter", Sz("{ORG}"), [](S& s) { s.adapter = "{ORG}"; }},
        {"", "adapter", Sz(""), {}},
        {"", "weaksignal", Dword(0), [](S& s) { s.weakSignal = 0; }},
        {"", "weaksignal", Dword(101), {}},
        {"", "trayicon", Dword(2), [](S& s) { s.trayIcon = true; }},
        {"", "onbattery", Dword(7), [](S& s) { s.onBattery = true; }},
        {"\\IPList", "ip1", Sz("192.168.001.001"), [](S& s) { s.routers = {"192.168.1.1"}; }},
        {"\\IPList", "ip1", Sz("300.1.1.1"), {}},
        {"\\Apps", "app1", Sz("game.exe"), [](S& s) { s.apps = {"game.exe"}; }},
        {"\\Apps", "app1", Sz("C:\\game.exe"), {}},
    };
    for (const Row& row : rows) {
        fakes::FakeRegistry registry;
        registry.set(kPolicy + row.key, row.name, row.value);
        S expected = own;
        if (row.governs) row.governs(expected);
        EXPECT_EQ(settings::Governed(own, settings::ReadPolicies(registry)), expected) << row.name;
    }
}

TEST(Policies, TheWindowShowsManagedValuesDisabledAndNeverWritesThem) {
    ProgramRig p;
    auto& r = p.world.registry;
    r.setInteger(kKey, "version", 6);
    r.setText(kKey, "adapter", "{OWN}");
    r.setText(kIpList, "ip1", "10.0.0.9");
    const std::pair<const char*, int> numbers[] = {
        {"shutdowndelay", 0}, {"restartservice", 0}, {"checkforupdate", 0}, {"use_dhcp", 1},
        {"weaksignal", 20},   {"trayicon", 0},       {"onbattery", 0}};
    for (const auto& [name, number] : numbers) r.set(kPolicy, name, Dword(number));
    r.setText(kPolicy, "adapter", "{ORG}");
    r.setText(kPolicy + "\\IPList", "ip1", "10.0.0.1");
    r.setText(kPolicy + "\\Apps", "app1", "game.exe");
    p.start();
    auto& w = p.window;
    const auto own = [&] { return std::make_pair(r.valueNames(kKey), r.valueNames(kIpList)); };
    const auto before = own();
    EXPECT_EQ(w.RouterAddresses(), std::vector<std::string>{"10.0.0.1"});
    EXPECT_EQ(w.E_shutdowndelay.text(), "0");
    for (const ui::Control* c : std::initializer_list<const ui::Control*>{
             &w.E_shutdowndelay, &w.chk_restartservice, &w.Chk_update, &w.chk_dhcp, &w.B_manageip,
             &w.B_dhcpconfig, &w.E_weaksignal, &w.Chk_trayicon, &w.Chk_onbattery, &w.list_apps,
             &w.E_app, &w.B_appadd, &w.B_appdelete})
        EXPECT_FALSE(c->enabled()) << c->name();
    EXPECT_EQ(w.L_managedoptions.text(), "Some settings are managed by your organisation.");
    w.b_apply.click();
    w.Menu_options.click();
    w.B_optionssave.click();
    EXPECT_EQ(own(), before) << "nothing of the organisation's is written";
    EXPECT_EQ(r.get(kKey, "adapter")->text, "{OWN}");
    // Withdrawn, the user's own come back: DHCP mode off, the own list.
    r.removeKey(kPolicy);
    w.LoadSettings();
    EXPECT_TRUE(!w.chk_dhcp.checked() && w.state.adapterName == "{OWN}" &&
                w.L_managed.text().empty());
    EXPECT_EQ(w.RouterAddresses(), std::vector<std::string>{"10.0.0.9"});
}

// Under a policy the panel no longer tells whether the user's own settings
// are all at their defaults: they are kept.
TEST(Policies, TheUsersOwnSettingsStayBeneathAPolicy) {
    ProgramRig p;
    p.world.registry.setInteger(kKey, "version", 6);
    p.world.registry.setInteger(kKey, "use_dhcp", 1);
    p.world.registry.setInteger(kPolicy, "use_dhcp", 0);
    p.start();
    EXPECT_EQ(p.world.registry.get(kKey, "use_dhcp")->number, 1);
}

// Each value the template writes is read, and the settings a policy can
// manage have one each; each text it names is in both languages.
TEST(Policies, TheTemplateWritesExactlyWhatTheProgramReads) {
    const auto read = [](const std::string& file) {
        std::stringstream text;
        text << std::ifstream(NOLVARA_SOURCE_DIR "/admx/" + file).rdbuf();
        return text.str();
    };
    const auto attr = [](const std::string& tag, const char* name) {
        std::smatch m;
        const std::regex re(std::string("\\s") + name + "=\"([^\"]*)\"");
        return std::regex_search(tag, m, re) ? m[1].str() : std::string();
    };
    const std::string admx = read("Nolvara.admx");
    const std::regex tagRe(R"(<(policy|decimal|text|list)\s[^>]*>)");
    fakes::FakeRegistry all;
    std::string policyKey;
    for (std::sregex_iterator t(admx.begin(), admx.end(), tagRe), end; t != end; ++t) {
        const std::string tag = (*t)[0], kind = (*t)[1];
        if (kind == "policy") policyKey = attr(tag, "key");
        std::string key = attr(tag, "key").empty() ? policyKey : attr(tag, "key");
        const std::string name =
            kind == "list" ? attr(tag, "valuePrefix") + "1" : attr(tag, "valueName");
        if (name.empty()) continue;  // a policy of elements writes only theirs
        const fakes::RegValue value =
            kind == "text"   ? Sz("{A1}")
            : kind == "list" ? Sz("10.0.0.1")
                             : Dword(kind == "decimal" ? std::stoi(attr(tag, "maxValue")) : 1);
        fakes::FakeRegistry one;
        key.replace(0, 8, "SOFTWARE");
        one.set(key, name, value);
        all.set(key, name, value);
        EXPECT_TRUE(settings::ReadPolicies(one).any()) << key << " " << name << " is not read";
    }
    const settings::Policies p = settings::ReadPolicies(all);
    EXPECT_TRUE(p.routers && p.shutdownDelay && p.restartService && p.checkForUpdate && p.useDhcp &&
                p.adapter && p.weakSignal && p.trayIcon && p.apps && p.onBattery);
    for (const char* language : {"en-US", "de-DE"}) {
        const std::string adml = read(std::string(language) + "/Nolvara.adml");
        const std::regex used(R"(\$\((string|presentation)\.(\w+)\))");
        for (std::sregex_iterator u(admx.begin(), admx.end(), used), end; u != end; ++u)
            EXPECT_NE(adml.find(" id=\"" + (*u)[2].str() + "\""), std::string::npos)
                << language << " " << (*u)[2];
    }
}

}  // namespace
