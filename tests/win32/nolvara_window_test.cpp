// The real window model on real windows: what only the Win32 binding decides
// (window tree, classes, IDs, keyboard order, native menu, status bar, frame).
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32Platform.h"
#include "shell/TF_nolvara.h"
#include "win32/Win32Rig.h"

namespace {

using platform::win32::Win32Form;
using win32_tests::Win32Rig;

std::string className(HWND h) {
    char name[64] = {};
    GetClassNameA(h, name, sizeof name);
    return name;
}

LONG style(HWND h) { return GetWindowLongA(h, GWL_STYLE); }
LONG exStyle(HWND h) { return GetWindowLongA(h, GWL_EXSTYLE); }

RECT clientRectIn(HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class NolvaraWindow : public testing::Test {
protected:
    platform::win32::Win32Platform win32;
    shell::TF_nolvara window{win32.platform};
    Win32Form binding{window, GetModuleHandleA(nullptr)};

    HWND of(const ui::Control& c) const { return binding.hwndOf(c); }
    UINT idOf(const ui::MenuItem& m) const { return static_cast<UINT>(binding.commandIdOf(m)); }
};

TEST_F(NolvaraWindow, EveryControlIsAChildWindowOfItsKindUnderItsParent) {
    struct Native {
        const char* className;
        LONG buttonType;  // -1: not a button
    };
    auto nativeOf = [](ui::ControlKind kind) -> Native {
        switch (kind) {
            case ui::ControlKind::Label:
                return {"Static", -1};
            case ui::ControlKind::Button:
                return {"Button", BS_PUSHBUTTON};
            case ui::ControlKind::SpeedButton:
                return {"Button", BS_PUSHBUTTON};
            case ui::ControlKind::CheckBox:
                return {"Button", BS_CHECKBOX};
            case ui::ControlKind::RadioButton:
                return {"Button", BS_RADIOBUTTON};
            case ui::ControlKind::Edit:
                return {"Edit", -1};
            case ui::ControlKind::ListBox:
                return {"ListBox", -1};
            case ui::ControlKind::ComboBox:
                return {"ComboBox", -1};
            case ui::ControlKind::GroupBox:
                return {"Button", BS_GROUPBOX};
            case ui::ControlKind::StatusBar:
                return {"msctls_statusbar32", -1};
            case ui::ControlKind::Chart:
                return {"Static", -1};
        }
        return {"", -1};
    };

    const auto& controls = window.controls();
    ASSERT_EQ(controls.size(), 60u);
    for (size_t i = 0; i < controls.size(); ++i) {
        const ui::Control& c = *controls[i];
        SCOPED_TRACE(c.name());
        HWND h = of(c);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetParent(h), c.parent() != nullptr ? of(*c.parent()) : binding.hwnd());
        EXPECT_EQ(GetDlgCtrlID(h), 1000 + static_cast<int>(i));
        const Native native = nativeOf(c.kind());
        EXPECT_STRCASEEQ(className(h).c_str(), native.className);
        if (native.buttonType >= 0) {
            EXPECT_EQ(style(h) & BS_TYPEMASK, native.buttonType);
        }
        EXPECT_EQ((style(h) & WS_VISIBLE) != 0, c.visible());
        EXPECT_EQ(IsWindowEnabled(h) != FALSE, c.enabled());
        if (c.kind() != ui::ControlKind::GroupBox) {
            EXPECT_EQ((style(h) & WS_TABSTOP) != 0, c.tabStop());
        } else {
            EXPECT_NE(exStyle(h) & WS_EX_CONTROLPARENT, 0) << "Tab must reach into the box";
        }

        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -11);
    }
    EXPECT_EQ(style(of(window.speed_installpath)) & BS_FLAT, BS_FLAT);
    EXPECT_NE(style(of(window.L_Text)) & SS_NOPREFIX, 0) << "an & in a page text is no mnemonic";
}

TEST_F(NolvaraWindow, KeyboardOrderIsCreationOrderAndLabelsLieBeneath) {
    // Within each parent, the z-order of the controls other than labels is
    // their order of creation, and the labels come last (drawn beneath).
    auto expectZOrder = [&](HWND parentHwnd, const ui::Control* parent) {
        std::vector<HWND> expected, labels;
        for (const ui::Control* c : window.controls()) {
            if (c->parent() != parent) continue;
            (c->kind() == ui::ControlKind::Label ? labels : expected).push_back(of(*c));
            if (c->kind() == ui::ControlKind::Edit &&
                binding.labelOf(static_cast<const ui::Edit&>(*c)))
                labels.push_back(binding.labelOf(static_cast<const ui::Edit&>(*c)));
        }
        std::vector<HWND> actual;
        for (HWND h = GetWindow(parentHwnd, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
            actual.push_back(h);
        ASSERT_EQ(actual.size(), expected.size() + labels.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), actual.begin()));
        for (HWND label : labels)
            EXPECT_NE(
                std::find(actual.begin() + static_cast<long>(expected.size()), actual.end(), label),
                actual.end());
    };
    expectZOrder(binding.hwnd(), nullptr);
    for (const ui::Control* c : window.controls())
        if (c->kind() == ui::ControlKind::GroupBox) expectZOrder(of(*c), c);

    // Tab walks the stops that can be reached in creation order, into the
    // visible group boxes and past the hidden ones.
    std::vector<HWND> expected;
    for (const ui::Control* c : window.controls())
        if (c->tabStop() && c->showing() && c->enabled() && c->kind() != ui::ControlKind::GroupBox)
            expected.push_back(of(*c));
    ASSERT_EQ(expected.size(), 10u);
    std::vector<HWND> walked;
    for (HWND h = GetNextDlgTabItem(binding.hwnd(), nullptr, FALSE);
         h != nullptr && walked.size() < 40; h = GetNextDlgTabItem(binding.hwnd(), h, FALSE)) {
        if (!walked.empty() && h == walked.front()) break;
        walked.push_back(h);
    }
    EXPECT_EQ(walked, expected);
}

TEST_F(NolvaraWindow, NativeMenuHoldsOnlyTheVisibleItemsUnderFixedCommandIds) {
    HMENU bar = GetMenu(binding.hwnd());
    ASSERT_EQ(bar, binding.menuBar());
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    EXPECT_EQ(GetSubMenu(bar, 2), nullptr) << "Check for update is a command on the bar";
    EXPECT_EQ(GetMenuItemID(bar, 2), 2013u);

    // Depth-first numbering below the bar, so outside drivers can name items.
    EXPECT_EQ(idOf(window.Menu_file), 2000u);
    EXPECT_EQ(idOf(window.Menu_close), 2004u);
    EXPECT_EQ(idOf(window.Menu_status0), 2006u);
    EXPECT_EQ(idOf(window.menu_thanks), 2018u);

    HMENU control = GetSubMenu(bar, 1);
    auto itemIds = [&] {
        std::vector<UINT> ids;
        for (int i = 0; i < GetMenuItemCount(control); ++i)
            ids.push_back(GetMenuItemID(control, i));
        return ids;
    };
    EXPECT_EQ(itemIds(), (std::vector<UINT>{idOf(window.Menu_status2), idOf(window.Menu_status4),
                                            idOf(window.Menu_autocontrol), idOf(window.Menu_lagmeter)}));
    for (const ui::MenuItem* hidden :
         {&window.Menu_status0, &window.Menu_status1, &window.Menu_status3})
        EXPECT_EQ(GetMenuState(bar, idOf(*hidden), MF_BYCOMMAND), static_cast<UINT>(-1))
            << hidden->name();

    auto type = [&](const ui::MenuItem& m) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoA(bar, idOf(m), FALSE, &info);
        return info.fType;
    };
    EXPECT_NE(type(window.Menu_status4) & MFT_RADIOCHECK, 0u);
    EXPECT_EQ(type(window.Menu_autocontrol) & MFT_RADIOCHECK, 0u);

    // A hidden item's caption set meanwhile is the one shown when it appears,
    // and it takes its place among its visible siblings.
    window.Menu_status3.setCaption("Start when &needed");
    window.Menu_status3.setVisible(true);
    EXPECT_EQ(itemIds(),
              (std::vector<UINT>{idOf(window.Menu_status2), idOf(window.Menu_status3),
                                 idOf(window.Menu_status4), idOf(window.Menu_autocontrol),
                                 idOf(window.Menu_lagmeter)}));
    char caption[64] = {};
    GetMenuStringA(control, 1, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "Start when &needed");

    // What start-up does to an outdated installed copy: the File menu greyed
    // on the bar, automatic control gone from its menu.
    window.Menu_file.setEnabled(false);
    window.Menu_autocontrol.setVisible(false);
    EXPECT_NE(GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_EQ(GetMenuItemCount(control), 4);
}

TEST_F(NolvaraWindow, IsAHiddenLayeredToolWindowCentredWhenFirstShown) {
    HWND h = binding.hwnd();
    EXPECT_EQ(className(h), "TF_nolvara");
    EXPECT_EQ(exStyle(h) & (WS_EX_LAYERED | WS_EX_TOOLWINDOW), WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    EXPECT_EQ(style(h) & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style(h) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_FALSE(IsWindowVisible(h));
    BYTE alpha = 255;
    DWORD flags = 0;
    GetLayeredWindowAttributes(h, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 0) << "the window fades in from nothing";

    window.setOuterSize(425, 255);
    window.show();
    RECT rc{};
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.right - rc.left, 425);
    EXPECT_EQ(rc.bottom - rc.top, 255);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 425) / 2);
    EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 255) / 2);
}

TEST_F(NolvaraWindow, StatusBarRunsAlongTheBottomWithTwoFixedPanels) {
    HWND status = of(window.Statusbar);
    int edges[4] = {};
    ASSERT_EQ(SendMessageA(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 330);
    EXPECT_EQ(edges[1], -1) << "the last panel reaches the right edge";

    for (auto size : {std::pair{850, 420}, std::pair{425, 255}}) {
        window.setOuterSize(size.first, size.second);
        RECT client{};
        GetClientRect(binding.hwnd(), &client);
        const RECT bar = clientRectIn(status);
        EXPECT_EQ(bar.bottom - bar.top, 20);
        EXPECT_EQ(bar.bottom, client.bottom);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.right, client.right);
    }
}

TEST_F(NolvaraWindow, DelayEditHasItsLabelToTheRightInsideTheBox) {
    HWND edit = of(window.E_shutdowndelay);
    HWND label = binding.labelOf(window.E_shutdowndelay);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GetParent(label), of(window.box_settings));
    EXPECT_EQ(Win32Rig::windowText(label), window.E_shutdowndelay.labelText());
    EXPECT_EQ(window.E_shutdowndelay.labelText(),
              "seconds delay before shutdown of Wireless Zero Service");

    const RECT e = clientRectIn(edit), l = clientRectIn(label);
    EXPECT_EQ(l.left, e.right + 4);
    EXPECT_NEAR((l.top + l.bottom) / 2.0, (e.top + e.bottom) / 2.0, 1.0);
    EXPECT_LE(l.right, window.box_settings.bounds().width);
    EXPECT_GT(l.right - l.left, 300) << "room for the whole caption";

    window.E_shutdowndelay.setLabelText("Sekunden");
    EXPECT_EQ(Win32Rig::windowText(label), "Sekunden");
    window.E_shutdowndelay.setText("30");
    EXPECT_EQ(Win32Rig::windowText(edit), "30");
    EXPECT_EQ(Win32Rig::windowText(label), "Sekunden");
    window.E_shutdowndelay.setVisible(false);
    EXPECT_FALSE(IsWindowVisible(label) || (style(label) & WS_VISIBLE));
}

// A move to a monitor at 150 % lays every window out at that scale, and a
// move back gives each exactly the rectangle it had.
TEST_F(NolvaraWindow, AMoveToAMonitorOfAnotherScaleScalesEveryRectangleAndTheFont) {
    ASSERT_EQ(platform::win32::DpiOf(binding.hwnd()), 96) << "the test prefix runs at 100 %";
    window.setOuterSize(425, 255);
    std::vector<std::pair<HWND, RECT>> at96;
    EnumChildWindows(
        binding.hwnd(),
        [](HWND h, LPARAM all) {
            reinterpret_cast<decltype(at96)*>(all)->emplace_back(h, clientRectIn(h));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&at96));
    ASSERT_GT(at96.size(), 48u) << "the controls and the labels of edits";
    RECT frame96{};
    GetWindowRect(binding.hwnd(), &frame96);
    auto fontHeight = [&] {
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(of(window.L_Text), WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        return font.lfHeight;
    };
    HWND status = of(window.Statusbar);

    RECT suggested{10, 20, 10 + 638, 20 + 383};
    SendMessageA(binding.hwnd(), 0x02E0, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT frame{};
    GetWindowRect(binding.hwnd(), &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested)) << "the window takes the rectangle Windows suggests";
    EXPECT_EQ(fontHeight(), -17);
    for (const auto& [h, before] : at96) {
        if (h == status) continue;
        SCOPED_TRACE(className(h) + " " + std::to_string(GetDlgCtrlID(h)));
        const RECT now = clientRectIn(h);
        EXPECT_NEAR(now.left, before.left * 1.5, 1.0);
        EXPECT_NEAR(now.top, before.top * 1.5, 1.0);
        EXPECT_NEAR(now.right, before.right * 1.5, 1.0);
        EXPECT_NEAR(now.bottom, before.bottom * 1.5, 1.0);
    }
    RECT client{};
    GetClientRect(binding.hwnd(), &client);
    const RECT bar = clientRectIn(status);
    EXPECT_EQ(bar.bottom - bar.top, 30);
    EXPECT_EQ(bar.bottom, client.bottom);
    int edges[2] = {};
    SendMessageA(status, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], 495);
    window.setOuterSize(500, 300);
    GetWindowRect(binding.hwnd(), &frame);
    EXPECT_EQ(frame.right - frame.left, 750) << "a new size of the model is scaled too";

    window.setOuterSize(425, 255);
    SendMessageA(binding.hwnd(), 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&frame96));
    EXPECT_EQ(fontHeight(), -11);
    for (const auto& [h, before] : at96) {
        const RECT now = clientRectIn(h);
        EXPECT_TRUE(EqualRect(&now, &before)) << className(h) << " " << GetDlgCtrlID(h);
    }
}

}  // namespace

namespace {

// The start mode lives in the service's "Start" value of the real registry;
// the program changes it in place and never creates it.
TEST_F(NolvaraWindow, StartModeIsReadAndWrittenInTheServiceKeyOnly) {
    constexpr const char* kService = "SYSTEM\\CurrentControlSet\\Services\\WZCSVC";
    // A prefix of its own has no WZCSVC: not available, and nothing created.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kService);
    EXPECT_EQ(window.ReadStartMode(), 5);
    window.WriteStartMode(4);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kService, 0, KEY_READ, &key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kService, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    window.WriteStartMode(4);
    EXPECT_EQ(RegQueryValueExA(key, "Start", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND)
        << "a key without the value stays without it";
    const DWORD automatic = 2;
    RegSetValueExA(key, "start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&automatic),
                   sizeof automatic);
    EXPECT_EQ(window.ReadStartMode(), 2) << "value names ignore case";
    window.WriteStartMode(4);
    DWORD stored = 0, type = 0, size = sizeof stored;
    RegQueryValueExA(key, "Start", nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored, 4u);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kService);
}

}  // namespace
