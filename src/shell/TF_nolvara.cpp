#include "shell/TF_nolvara.h"

#include "text/Captions.h"

namespace shell {

TF_nolvara::TF_nolvara(platform::Platform& platform_) : ui::Form("F_nolvara"), platform(platform_) {
    setCaption(core::kApplicationTitle);
    // The designer's size; ArrangeLayout gives the window its run-time size.
    setOuterSize(850, 420);
    setAlphaBlend(true);
    setAlphaBlendValue(0);

    B_update.setText("Update");
    box_routerip.setVisible(false);
    box_dhcp.setVisible(false);
    box_manupdate.setVisible(false);
    box_lag.setVisible(false);
    box_options.setVisible(false);
    L_weaksignal.wordWrap = true;
    L_optionsnote.wordWrap = true;
    L_onbattery.wordWrap = true;
    L_apps.wordWrap = true;
    E_app.maxLength = 255;
    E_weaksignal.maxLength = 3;
    L_lagstate.wordWrap = true;
    L_lagscans.wordWrap = true;
    L_managed.wordWrap = true;
    L_managedoptions.wordWrap = true;
    for (ui::Label* column : {&L_lagrows, &L_lagscan, &L_lagnoscan}) column->wordWrap = false;
    B_dhcpconfig.setEnabled(false);
    combo_dhcpadapter.setEnabled(false);
    speed_installpath.setEnabled(false);
    E_routerip.maxLength = 15;
    L_Text.wordWrap = true;
    L_manupdate.wordWrap = true;
    L_dhcpinfo.wordWrap = true;
    L_note.wordWrap = true;
    for (const text::Caption& row : text::CaptionTable()) setCaptionOf(row.control, row.english);

    buildMenu();
    for (ui::Timer* t :
         {&T_ping, &T_shutdowndelay, &T_servicestart, &T_fadein, &T_fadeout, &T_lag, &T_signal})
        registerTimer(*t);
    ICMP.receiveTimeoutMs = 100;
    icmp_testping.receiveTimeoutMs = 100;
    wireHandlers();
}

void TF_nolvara::buildMenu() {
    ui::MenuItem& bar = mainMenu();
    bar.add(Menu_file);
    Menu_file.add(Menu_settings);
    Menu_file.add(Menu_options);
    Menu_file.add(Menu_uninstall);
    Menu_file.add(Menu_close);
    bar.add(Menu_actions);
    for (ui::MenuItem* item : {&Menu_status0, &Menu_status1, &Menu_status2, &Menu_status3,
                               &Menu_status4, &Menu_autocontrol, &Menu_lagmeter})
        Menu_actions.add(*item);
    bar.add(Menu_checkforupdate);
    bar.add(Menu_help);
    for (ui::MenuItem* item : {&Menu_aboutme, &Menu_wzero, &Menu_how2use, &menu_thanks})
        Menu_help.add(*item);

    Menu_status0.setVisible(false);
    Menu_status1.setVisible(false);
    Menu_status3.setVisible(false);
    for (ui::MenuItem* item : {&Menu_status2, &Menu_status3, &Menu_status4}) {
        item->radioItem = true;
        item->autoCheck = true;
        item->groupIndex = 1;
    }
}

std::function<void()> TF_nolvara::Handler(void (TF_nolvara::*member)()) {
    // One handler type for every member the events call: the code that each
    // type of handler brings along is in the program file once.
    return [this, member] { (this->*member)(); };
}

void TF_nolvara::wireHandlers() {
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    // Closing the main window ends the program.
    onClosed = [this] { platform.system.requestTerminate(); };

    Menu_close.onClick = Handler(&TF_nolvara::Menu_closeClick);
    Menu_uninstall.onClick = Handler(&TF_nolvara::Menu_uninstallClick);
    Menu_settings.onClick = Handler(&TF_nolvara::Menu_settingsClick);
    Menu_aboutme.onClick = Handler(&TF_nolvara::Menu_aboutmeClick);
    Menu_wzero.onClick = Handler(&TF_nolvara::Menu_wzeroClick);
    Menu_how2use.onClick = Handler(&TF_nolvara::Menu_how2useClick);
    menu_thanks.onClick = Handler(&TF_nolvara::menu_thanksClick);
    B_noupdate.onClick = Handler(&TF_nolvara::B_noupdateClick);
    B_manupdate.onClick = Handler(&TF_nolvara::B_manupdateClick);
    B_update.onClick = Handler(&TF_nolvara::B_updateClick);
    Menu_checkforupdate.onClick = Handler(&TF_nolvara::Menu_checkforupdateClick);
    B_manageip.onClick = Handler(&TF_nolvara::B_manageipClick);
    Chk_autostart.onClick = Handler(&TF_nolvara::Chk_autostartClick);
    chk_dhcp.onClick = Handler(&TF_nolvara::chk_dhcpClick);
    speed_installpath.onClick = Handler(&TF_nolvara::speed_installpathClick);
    b_apply.onClick = Handler(&TF_nolvara::B_applyClick);
    E_routerip.onClick = Handler(&TF_nolvara::E_routeripClick);
    B_addip.onClick = Handler(&TF_nolvara::B_addipClick);
    B_ipdelete.onClick = Handler(&TF_nolvara::B_ipdeleteClick);
    B_ipup.onClick = Handler(&TF_nolvara::B_ipupClick);
    B_ipdown.onClick = Handler(&TF_nolvara::B_ipdownClick);
    B_saveip.onClick = Handler(&TF_nolvara::B_saveipClick);

    onQueryEndSession = [this] { return ShutdownQueryHandler(); };
    onEndSession = [this](bool ending) { EndSessionHandler(ending); };
    onResume = [this] {
        // The power source and the programs may be others after a sleep.
        powerLook.invalidate();
        programWatch.invalidate();
        wireless.renewed();
        UpdateStatus();
        ArmSignalTimer();
    };
    wireless.onChange = [this] {
        UpdateStatus();
        ArmSignalTimer();
    };
    T_signal.onTimer = Handler(&TF_nolvara::T_signalTimer);
    Menu_autocontrol.onClick = Handler(&TF_nolvara::Menu_autocontrolClick);
    ui::MenuItem* statusItems[] = {&Menu_status0, &Menu_status1, &Menu_status2, &Menu_status3,
                                   &Menu_status4};
    for (std::int32_t mode = 0; mode < 5; ++mode)
        statusItems[mode]->onClick = [this, mode] { Menu_statusClick(mode); };
    ICMP.onReply = [this](const core::EchoResult& reply) { ICMPReply(reply); };
    icmp_testping.onReply = [this](const core::EchoResult& reply) { icmp_testpingReply(reply); };
    B_dhcpconfig.onClick = Handler(&TF_nolvara::B_dhcpconfigClick);
    combo_dhcpadapter.onSelect = Handler(&TF_nolvara::combo_dhcpadapterSelect);
    B_dhcpsave.onClick = Handler(&TF_nolvara::B_dhcpsaveClick);

    T_ping.onTimer = Handler(&TF_nolvara::T_pingTimer);
    T_shutdowndelay.onTimer = Handler(&TF_nolvara::T_shutdowndelayTimer);
    T_servicestart.onTimer = Handler(&TF_nolvara::T_servicestartTimer);
    T_fadein.onTimer = Handler(&TF_nolvara::T_fadeinTimer);
    T_fadeout.onTimer = Handler(&TF_nolvara::T_fadeoutTimer);
    Menu_lagmeter.onClick = Handler(&TF_nolvara::Menu_lagmeterClick);
    Menu_options.onClick = Handler(&TF_nolvara::Menu_optionsClick);
    B_optionssave.onClick = Handler(&TF_nolvara::B_optionssaveClick);
    B_appadd.onClick = Handler(&TF_nolvara::B_appaddClick);
    B_appdelete.onClick = Handler(&TF_nolvara::B_appdeleteClick);
    onPowerSourceChanged = [this] { powerLook.invalidate(); };
    T_lag.onTimer = Handler(&TF_nolvara::T_lagTimer);
    B_lagtest.onClick = Handler(&TF_nolvara::B_lagtestClick);
    B_lagsave.onClick = Handler(&TF_nolvara::B_lagsaveClick);
}

bool TF_nolvara::setCaptionOf(const std::string& name, const std::string& caption) {
    if (ui::MenuItem* item = findMenuItem(name)) {
        item->setCaption(caption);
        return true;
    }
    ui::Control* control = findControl(name);
    if (control == nullptr) return false;
    // The delay edit's caption is the label beside it; its text is the delay.
    if (control->kind() == ui::ControlKind::Edit)
        static_cast<ui::Edit*>(control)->setLabelText(caption);
    else
        control->setText(caption);
    return true;
}

}  // namespace shell
