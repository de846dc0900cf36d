// The hidden run's lag record and the lag test it runs when the window asks:
// the test takes the switches from the probe loop for two minutes and hands
// them back, or to the usual handling of a lost link.
#include <algorithm>

#include "shell/TF_nolvara.h"

namespace shell {

bool TF_nolvara::WindowsMayScan() const {
    switch (controlWay) {
        case ControlWay::Service:
            return state.serviceRunning;
        case ControlWay::NativeWifi:
            return !(wireless.held() && wireless.scanOff() && wireless.applied()) ||
                   wireless.scanningForWeakSignal();
        case ControlWay::None:
            break;
    }
    return true;
}

void TF_nolvara::BeginLagTick() {
    if (!lagRecorder) return;
    lagRecorder->setControlPaused(pause.active());
    // One test at a time: a request while one runs is dropped. One made
    // while the link is lost, or before the router first answered, waits
    // until the router answers.
    const bool mayStart = !state.connectionLost && !state.awaitingFirstReply &&
                          !state.sessionEnding && !pause.active() && ControlWanted() &&
                          controlWay != ControlWay::None &&
                          state.startMode != core::kStartModeUnreadable;
    if (lagRecorder->test().running()) {
        lagRecorder->testAsked();
    } else if (mayStart && lagRecorder->testAsked() && lagRecorder->test().start()) {
        // The delay after the first answer would switch scanning off midway;
        // it is armed again should the test not begin.
        const bool delayArmed = T_shutdowndelay.enabled();
        T_shutdowndelay.setEnabled(false);
        lagRecorder->publishTest();
        if (!ApplyStartMode(core::kStartModeAutomatic)) {
            lagRecorder->test().refuse();
            lagRecorder->publishTest();
            T_shutdowndelay.setEnabled(delayArmed);
        }
    }
    lagRecorder->beginTick(WindowsMayScan());
}

void TF_nolvara::EndLagTick() {
    if (!lagRecorder) return;
    const std::uint32_t now = platform.system.tickCountMs();
    // Scans are heard only through an open handle of the Native Wifi way.
    const std::uint32_t scans = wireless.takeScans();
    const bool heard = controlWay == ControlWay::NativeWifi && wireless.held();
    switch (lagRecorder->endTick(
        platform.system.localTimeSec(), now,
        static_cast<std::int8_t>(controlWay == ControlWay::NativeWifi ? wireless.signal() : -1),
        heard ? static_cast<std::uint8_t>(std::min<std::uint32_t>(scans, core::kScansMost))
              : core::kScansUnknown)) {
        case core::LagTest::Step::ScanOff:
            ApplyStartMode(core::kStartModeDisabled);
            break;
        // Scanning is off with the link up: just what the probe loop decides.
        case core::LagTest::Step::HandBack:
            UpdateStatus();
            // The gate may have closed during the test.
            FollowGate();
            break;
        case core::LagTest::Step::LinkLost:
            // Without reconnection the usual handling leaves the service as
            // the test left it: the next answer arms the delay as after the
            // start, and the delay switches it off.
            if (!chk_restartservice.checked()) state.awaitingFirstReply = true;
            if (!state.connectionLost) StartConnectionLossHandling();
            break;
        case core::LagTest::Step::None:
            break;
    }
    // After the tick's sample: a reader sees a state no older than it.
    lagRecorder->setRun({static_cast<std::uint8_t>(TrayReasonNow()),
                         controlWay == ControlWay::Service,
                         static_cast<std::uint16_t>(pause.minutesLeft(now)), gate.program});
}

}  // namespace shell
