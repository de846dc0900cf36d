// The headless toolkit of the tests: a virtual clock that drives the timers of
// a form, and fakes of the system and the dialogs that live on that clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeFiles.h"
#include "fakes/FakeHttp.h"
#include "fakes/FakeNetwork.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeWifi.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/System.h"
#include "ui/Form.h"

namespace fakes {

// Time in milliseconds that only moves when a test moves it. Running the clock
// fires due timers one event at a time; sleeping moves time without any event,
// like a blocking call on the one UI thread.
class VirtualClock {
public:
    VirtualClock();
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    std::int64_t nowMs() const { return nowMs_; }
    void sleep(int ms) { nowMs_ += ms; }

    // Fires the form's timers as they fall due until ms have passed, or until
    // stop() says the event loop has ended; events posted meanwhile are
    // handled in their turn.
    void run(int ms, const std::function<bool()>& stop = {});
    // An event that the loop handles delayMs from now, as a message that
    // another thread posts to the window.
    void post(int delayMs, std::function<void()> event);
    void bind(ui::Form& form);

private:
    class TimerBinding;
    struct Posted {
        std::int64_t dueMs;
        std::function<void()> event;
    };
    std::int64_t nowMs_ = 0;
    std::vector<std::unique_ptr<TimerBinding>> timers_;
    std::vector<Posted> posted_;
};

class FakeSystem : public platform::System {
public:
    explicit FakeSystem(VirtualClock& clock) : clock_(clock) {}
    std::string programPath() override { return args.empty() ? std::string() : args[0]; }
    std::vector<std::string> arguments() override { return args; }
    std::string windowsDirectory() override {
        if (!windowsDirectoryError.empty()) throw std::runtime_error(windowsDirectoryError);
        return windowsDir;
    }
    std::string computerName() override { return "TESTHOST"; }
    std::uint32_t tickCountMs() override {
        return tickAtStartMs + static_cast<std::uint32_t>(clock_.nowMs());
    }
    std::int64_t localTimeSec() override { return localTimeAtStartSec + clock_.nowMs() / 1000; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        clock_.sleep(ms);
        if (onSleep) onSleep(ms);
    }
    void pauseAnsweringMs(int ms) override {
        ++answeringPauses;
        sleepMs(ms);
    }
    bool claimForMachine(const std::string& name, int waitMs) override {
        return claimForSession("Global\\" + name, waitMs);
    }
    bool claimForSession(const std::string& name, int waitMs) override {
        claims.push_back(name);
        if (heldElsewhere.count(name) == 0) return true;
        sleepMs(waitMs);
        return heldElsewhere.count(name) == 0;
    }
    bool claimedInSession(const std::string& name) override {
        return heldElsewhere.count(name) > 0 ||
               std::find(claims.begin(), claims.end(), name) != claims.end();
    }
    bool lacksAdministratorRights() override { return limitedRights; }
    bool seenByUser() override { return !serviceDesktop; }
    void setExitCode(int code) override { exit = code; }
    int exitCode() const override { return exit; }
    void requestTerminate() override { terminate = true; }
    bool terminateRequested() const override { return terminate; }

    std::vector<std::string> args{"C:\\Tools\\P_nolvara.exe"};
    // 2026-12-09 14:03:07 on the clock of the wall; set forward or back
    // alone, as the user or summer time does.
    std::int64_t localTimeAtStartSec = 1796824987;
    // The tick count at the start: near 2^32 for a machine 49.7 days up.
    std::uint32_t tickAtStartMs = 0;
    // A run under Windows' prompt for administrator rights, without them.
    bool limitedRights = false;
    std::string windowsDir = "C:\\WINDOWS";
    std::string windowsDirectoryError;  // when set, asking for the directory fails
    std::vector<int> sleeps;
    int answeringPauses = 0;
    // What other processes get done while this one pauses.
    std::function<void(int)> onSleep;
    bool terminate = false;
    int exit = 0;
    // A run on a service's hidden desktop, as deployment tools start it.
    bool serviceDesktop = false;
    // Claims asked for, and those another process of the session holds.
    std::vector<std::string> claims;
    std::set<std::string> heldElsewhere;

private:
    VirtualClock& clock_;
};

// Message boxes are recorded; while one is open the clock runs for the time the
// test says the user takes to confirm it, firing timers as a nested loop does.
class FakeDialogs : public platform::Dialogs {
public:
    FakeDialogs(VirtualClock& clock, FakeSystem& system) : clock_(clock), system_(system) {}
    struct Shown {
        std::string text;
        std::string caption;
        platform::MessageIcon icon;
    };
    void messageBox(const std::string& text, const std::string& caption,
                    platform::MessageIcon icon) override {
        shown.push_back({text, caption, icon});
        clock_.run(userWaitMs, [this] { return system_.terminateRequested(); });
    }
    struct Browse {
        std::string initial;
        std::string instruction;
    };
    // The folder the user picks; none means the user cancels.
    std::string browseForFolder(const std::string& initial, const std::string& instruction) override {
        browsed.push_back({initial, instruction});
        return chosenFolder ? *chosenFolder : initial;
    }
    std::optional<std::string> chooseFileToSave(const std::string& proposedName,
                                                const std::string& typeName) override {
        savesOffered.push_back(proposedName + "|" + typeName);
        return fileToSave;
    }
    std::optional<std::string> chosenFolder;
    std::vector<Browse> browsed;
    // The file the user picks in the save dialog; none means the user cancels.
    std::optional<std::string> fileToSave;
    std::vector<std::string> savesOffered;
    std::vector<Shown> shown;
    int userWaitMs = 0;

private:
    VirtualClock& clock_;
    FakeSystem& system_;
};

// The session's shared objects as one process sees them: a test plays the
// other runs by reading and raising what is here.
class FakeSessionShare : public platform::SessionShare {
public:
    struct Block : platform::SharedBlock {
        explicit Block(std::vector<unsigned char>& bytes) : bytes_(bytes) {}
        unsigned char* data() override { return bytes_.data(); }
        std::vector<unsigned char>& bytes_;
    };
    struct Signal {
        bool raised = false;
        std::uint32_t word = 0;
    };
    struct Receiver : platform::SignalReceiver {
        explicit Receiver(Signal& signal) : signal_(signal) {}
        bool taken() override { return std::exchange(signal_.raised, false); }
        std::uint32_t word() override { return signal_.word; }
        Signal& signal_;
    };
    std::unique_ptr<platform::SharedBlock> createBlock(const std::string& name,
                                                       std::size_t size) override {
        if (blocks.count(name) > 0 || refuse) return nullptr;
        return std::make_unique<Block>(blocks[name] = std::vector<unsigned char>(size));
    }
    std::optional<std::vector<unsigned char>> copyBlock(const std::string& name,
                                                        std::size_t maxSize) override {
        const auto found = blocks.find(name);
        if (found == blocks.end()) return std::nullopt;
        return std::vector<unsigned char>(
            found->second.begin(),
            found->second.begin() + static_cast<std::ptrdiff_t>(std::min(maxSize, found->second.size())));
    }
    std::unique_ptr<platform::SignalReceiver> createSignal(const std::string& name) override {
        if (signals.count(name) > 0 || refuse) return nullptr;
        return std::make_unique<Receiver>(signals[name]);
    }
    bool raiseSignal(const std::string& name) override {
        const auto found = signals.find(name);
        return found != signals.end() && (found->second.raised = true);
    }
    bool raiseSignalWith(const std::string& name, std::uint32_t word) override {
        if (signals.count(name) > 0) signals[name].word = word;
        return raiseSignal(name);
    }
    // Blocks and signals live in maps whose nodes stay put.
    std::map<std::string, std::vector<unsigned char>> blocks;
    std::map<std::string, Signal> signals;
    bool refuse = false;  // another run of the session has them
};

class FakePowerSource : public platform::PowerSource {
public:
    bool onBattery() override { return battery; }
    bool battery = false;
};

// One headless world: clock, system and dialogs bundled as a platform.
// The notification area: the icon as the shell would show it, and the
// user's clicks and Explorer's restart played from the test.
class FakeNotifyArea : public platform::NotifyArea {
public:
    struct Icon : platform::NotifyIcon {
        explicit Icon(FakeNotifyArea& area) : area_(area) {}
        ~Icon() override { area_.shown.reset(); }
        bool show(platform::NotifyLook look, const std::string& tip) override {
            ++area_.calls;
            area_.shown = Shown{look, tip};
            return true;
        }
        FakeNotifyArea& area_;
    };
    struct Shown {
        platform::NotifyLook look;
        std::string tip;
    };
    std::unique_ptr<platform::NotifyIcon> create(platform::NotifyEvents e) override {
        events = std::move(e);
        return std::make_unique<Icon>(*this);
    }
    // A run's icons are known by its process ID here.
    std::vector<std::uintptr_t> iconsOf(std::uint32_t processId) override { return {processId}; }
    void removeIcons(const std::vector<std::uintptr_t>& icons) override {
        removedOf.insert(removedOf.end(), icons.begin(), icons.end());
    }
    // Explorer ends and comes back: its icons are gone.
    void restartShell() {
        shown.reset();
        if (events.shellRestarted) events.shellRestarted();
    }
    // The menu as a right click opens it, and a choice from it by caption.
    std::vector<std::string> menu() { return events.menu ? events.menu() : std::vector<std::string>(); }
    void choose(const std::string& caption) {
        const auto items = menu();
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == caption) return events.chosen(i);
        throw std::logic_error("no menu item " + caption);
    }
    std::optional<Shown> shown;
    platform::NotifyEvents events;
    int calls = 0;
    std::vector<std::uint32_t> removedOf;
};

struct HeadlessWorld {
    VirtualClock clock;
    FakeSystem system{clock};
    FakeDialogs dialogs{clock, system};
    FakeRegistry registry;
    FakeFileSystem files;
    FakeProcesses processes;
    FakeShell shell;
    FakeServiceManager services{clock};
    FakeIcmp icmp{clock};
    FakeAdapters adapters;
    FakeHttp http{files, clock};
    FakeSignatureCheck signatures;
    FakeNativeWifi wifi{clock};
    FakeSessionShare share;
    FakeNotifyArea notify;
    FakePowerSource power;
    platform::Platform platform{system,     dialogs,  registry, files,    processes,
                                shell,      services, icmp,     adapters, http,
                                signatures, wifi,     share,    notify,   power};

    // Runs the event loop; it ends once the end of the program was requested.
    void runFor(int ms) {
        clock.run(ms, [this] { return system.terminateRequested(); });
    }
    // The machine sleeps: the link drops, and the tick count and local time
    // move on together while no timer fires. The test brings the link back.
    void sleepMachine(int ms) {
        icmp.linkDown = true;
        for (std::size_t i = 0; i < wifi.interfaces.size(); ++i) wifi.setConnected(i, false);
        clock.sleep(ms);
    }
};

}  // namespace fakes
