// The Native Wifi facility against the tests' stand-in wlanapi.dll, put in
// the prefix's system folder where the program looks for the library.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32NativeWifi.h"
#include "win32/TestFiles.h"
#include "wlan/EpochMs.h"

namespace {

using win32_tests::HandleUse;
using win32_tests::handleUse;

using platform::NativeWifiError;
using platform::NativeWifiSession;
using platform::WifiInterfaceId;
using platform::WifiSetting;
using platform::win32::KernelHandle;
using platform::win32::Win32NativeWifi;

// {6e6f6c76-6172-6120-7465-737420776c61} as it lies in memory.
constexpr WifiInterfaceId kStandInInterface = {0x76, 0x6c, 0x6f, 0x6e, 0x72, 0x61, 0x20, 0x61,
                                               0x74, 0x65, 0x73, 0x74, 0x20, 0x77, 0x6c, 0x61};
constexpr char kReconnectEvent[] = "NolvaraWlanStandIn.Reconnect";
constexpr char kEventsClass[] = "NolvaraWifiEvents";
// A notification takes a few ms; the bound only keeps a broken run from hanging.
constexpr DWORD kNotificationMs = 5000;

void ignore(const platform::WifiEvent&) {}

std::string standInPath() { return win32_tests::builtFilePath(NOLVARA_WLAN_STANDIN); }

std::string systemFile(const char* name) {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

void setEnvironment(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }

struct LogLine {
    unsigned long long epochMs = 0;
    unsigned long processId = 0;
    std::string text;
};

// The stand-in's log, line by line: "<unix epoch ms> <process id> <text>".
std::vector<LogLine> readLog(const std::string& path) {
    std::vector<LogLine> lines;
    const KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return lines;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        LogLine entry;
        std::istringstream fields(line);
        fields >> entry.epochMs >> entry.processId;
        fields.get();
        std::getline(fields, entry.text);
        lines.push_back(entry);
    }
    return lines;
}

int countLines(const std::vector<LogLine>& lines, const std::string& text) {
    int count = 0;
    for (const LogLine& line : lines) count += line.text == text ? 1 : 0;
    return count;
}

// The message loop of the test's thread, until done() holds or time is up.
bool pumpUntil(const std::function<bool()>& done, DWORD withinMs) {
    const DWORD startedAt = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - startedAt;
        if (elapsed >= withinMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(withinMs - elapsed, 50),
                                  QS_ALLINPUT);
    }
}

// Waits without running the message loop.
bool waitFor(const std::function<bool()>& done, DWORD withinMs) {
    for (DWORD waitedMs = 0; waitedMs < withinMs; waitedMs += 20) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

class Win32NativeWifiTest : public testing::Test {
protected:
    // Wine's own library stands where the program looks; the stand-in takes
    // its place for these tests, and the other tests of the run find the
    // prefix as it was.
    static void SetUpTestSuite() {
        if (!CopyFileA(systemFile("wlanapi.dll").c_str(), savedPath().c_str(), FALSE) ||
            !CopyFileA(standInPath().c_str(), systemFile("wlanapi.dll").c_str(), FALSE))
            copyError_ = GetLastError();
    }
    static void TearDownTestSuite() {
        CopyFileA(savedPath().c_str(), systemFile("wlanapi.dll").c_str(), FALSE);
        DeleteFileA(savedPath().c_str());
    }
    static std::string savedPath() { return systemFile("wlanapi.dll.saved"); }

    void SetUp() override {
        ASSERT_EQ(copyError_, 0u) << "the stand-in cannot be put in the system folder";
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        logPath_ = std::string(folder) + "nolvara-wlan-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        DeleteFileA(logPath_.c_str());
        setEnvironment("NOLVARA_WLAN_LOG", logPath_.c_str());
        setEnvironment("NOLVARA_WLAN_FAIL", nullptr);
        setEnvironment("NOLVARA_WLAN_STATE", nullptr);
    }
    void TearDown() override {
        setEnvironment("NOLVARA_WLAN_LOG", nullptr);
        setEnvironment("NOLVARA_WLAN_FAIL", nullptr);
        setEnvironment("NOLVARA_WLAN_STATE", nullptr);
        setEnvironment("NOLVARA_WLAN_CONTROL", nullptr);
        DeleteFileA(logPath_.c_str());
        DeleteFileA((logPath_ + ".control").c_str());
    }

    std::vector<LogLine> log() const { return readLog(logPath_); }

    // The library of the system folder, as the program finds it.
    Win32NativeWifi wifi;
    std::string logPath_;
    static DWORD copyError_;
};

DWORD Win32NativeWifiTest::copyError_ = 0;

TEST_F(Win32NativeWifiTest, OpensAHandleAndListsTheInterface) {
    const unsigned long long startedMs = UnixEpochMs();
    ASSERT_TRUE(wifi.available());
    auto session = wifi.open(nullptr);
    ASSERT_NE(session, nullptr);

    auto interfaces = session->interfaces();
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_EQ(interfaces[0].id, kStandInInterface);
    EXPECT_EQ(interfaces[0].description, "Nolvara test wireless adapter");
    EXPECT_TRUE(interfaces[0].connected);

    setEnvironment("NOLVARA_WLAN_STATE", "disconnected");
    interfaces = session->interfaces();
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_FALSE(interfaces[0].connected);

    session.reset();
    const auto lines = log();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "open version=2 result=0");
    EXPECT_EQ(lines[1].text, "enum count=1 result=0");
    EXPECT_EQ(lines[3].text, "close result=0") << "without a handler, no registration";
    for (const LogLine& line : lines) {
        EXPECT_EQ(line.processId, GetCurrentProcessId());
        // Wine's clock is the system's, a coarse step either way.
        EXPECT_GE(line.epochMs + 50, startedMs);
        EXPECT_LE(line.epochMs, UnixEpochMs() + 50);
    }
}

TEST_F(Win32NativeWifiTest, SettingsHoldWhileTheirSessionIsOpenAndGoWithIt) {
    auto session = wifi.open(nullptr);
    EXPECT_TRUE(session->query(kStandInInterface, WifiSetting::BackgroundScan));
    EXPECT_FALSE(session->query(kStandInInterface, WifiSetting::MediaStreaming));

    for (const WifiSetting setting : {WifiSetting::BackgroundScan, WifiSetting::MediaStreaming})
        for (const bool on : {true, false, true}) {
            session->set(kStandInInterface, setting, on);
            EXPECT_EQ(session->query(kStandInInterface, setting), on);
        }
    session->set(kStandInInterface, WifiSetting::BackgroundScan, false);
    session->set(kStandInInterface, WifiSetting::MediaStreaming, true);
    EXPECT_EQ(countLines(log(), "set background_scan_enabled=0 result=0"), 2);
    EXPECT_EQ(countLines(log(), "query media_streaming_mode value=1 result=0"), 2);

    // Another handle sees them while the one that set them is open.
    auto other = wifi.open(nullptr);
    EXPECT_FALSE(other->query(kStandInInterface, WifiSetting::BackgroundScan));
    session.reset();
    EXPECT_TRUE(other->query(kStandInInterface, WifiSetting::BackgroundScan));
    EXPECT_FALSE(other->query(kStandInInterface, WifiSetting::MediaStreaming));
    other.reset();
    auto later = wifi.open(nullptr);
    EXPECT_TRUE(later->query(kStandInInterface, WifiSetting::BackgroundScan));
    EXPECT_FALSE(later->query(kStandInInterface, WifiSetting::MediaStreaming));
}

TEST_F(Win32NativeWifiTest, FailuresCarryTheSystemsCode) {
    WifiInterfaceId unknown = kStandInInterface;
    unknown[15] ^= 0xff;
    using Kind = platform::WifiFailure;
    struct Case {
        const char* fail;
        std::function<void()> call;
        std::uint32_t code;
        Kind kind;
    };
    const auto set = [&] {
        wifi.open(nullptr)->set(kStandInInterface, WifiSetting::BackgroundScan, false);
    };
    const auto query = [&] {
        wifi.open(nullptr)->query(kStandInInterface, WifiSetting::MediaStreaming);
    };
    const std::vector<Case> cases = {
        {"open=5", [&] { wifi.open(nullptr); }, 5, Kind::Refused},
        {"register=5", [&] { wifi.open(ignore); }, 5, Kind::Refused},
        {"enum=1062", [&] { wifi.open(nullptr)->interfaces(); }, 1062, Kind::ServiceGone},
        {"set=5", set, 5, Kind::Refused},
        {"query=2", query, 2, Kind::Refused},
        {"", [&] { wifi.open(nullptr)->set(unknown, WifiSetting::MediaStreaming, true); }, 1168,
         Kind::Refused},
    };
    const auto expectFailure = [&](const Case& c) {
        setEnvironment("NOLVARA_WLAN_FAIL", c.fail);
        try {
            c.call();
            ADD_FAILURE() << c.fail << ": no error";
        } catch (const NativeWifiError& error) {
            EXPECT_EQ(error.code, c.code) << c.fail << ": " << error.what();
            EXPECT_EQ(error.kind, c.kind) << c.fail;
            EXPECT_FALSE(error.call.empty()) << c.fail;
            EXPECT_NE(std::string(error.what()), "") << c.fail;
        }
    };
    for (const Case& c : cases) expectFailure(c);
    setEnvironment("NOLVARA_WLAN_FAIL", nullptr);
    // A failed set changed nothing, and every handle that opened was closed,
    // also the one whose registration failed.
    auto session = wifi.open(nullptr);
    EXPECT_TRUE(session->query(kStandInInterface, WifiSetting::BackgroundScan));
    session.reset();
    const auto lines = log();
    EXPECT_EQ(countLines(lines, "open version=2 result=0"), 6);
    EXPECT_EQ(countLines(lines, "close result=0"), 6);

    // What the other codes mean to the program.
    for (const Case& c : std::vector<Case>{
             {"enum=1722", [&] { wifi.open(nullptr)->interfaces(); }, 1722, Kind::ServiceGone},
             {"set=5023", set, 5023, Kind::NotConnected},
             {"query=6", query, 6, Kind::HandleGone},
             {"query=1753", query, 1753, Kind::ServiceGone}})
        expectFailure(c);
    setEnvironment("NOLVARA_WLAN_FAIL", nullptr);
}

TEST_F(Win32NativeWifiTest, ConnectionsArriveThroughTheMessageLoopWhileTheSessionLasts) {
    int connections = 0;
    DWORD handlerThread = 0;
    auto session = wifi.open([&](const platform::WifiEvent& event) {
        if (event.kind != platform::WifiEvent::Kind::Connected) return;
        EXPECT_EQ(event.id, kStandInInterface);
        ++connections;
        handlerThread = GetCurrentThreadId();
    });
    const KernelHandle reconnect(
        OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, kReconnectEvent));
    ASSERT_TRUE(reconnect) << "the stand-in waits for reconnections once registered";
    EXPECT_EQ(countLines(log(), "register source=0x8 result=0"), 1);
    session->set(kStandInInterface, WifiSetting::BackgroundScan, false);

    SetEvent(reconnect.get());
    ASSERT_TRUE(pumpUntil([&] { return connections == 1; }, kNotificationMs));
    EXPECT_EQ(handlerThread, GetCurrentThreadId()) << "on the thread that opened the session";
    EXPECT_TRUE(session->query(kStandInInterface, WifiSetting::BackgroundScan))
        << "the dropped link took the setting along";

    // One that has been posted but not yet handled is dropped with the session.
    SetEvent(reconnect.get());
    ASSERT_TRUE(waitFor([&] { return countLines(log(), "notify connection_complete") == 2; },
                        kNotificationMs));
    session.reset();
    EXPECT_FALSE(pumpUntil([&] { return connections > 1; }, 300));
    EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, kEventsClass, nullptr), nullptr);
    const auto lines = log();
    EXPECT_EQ(lines.back().text, "close result=0");
    EXPECT_EQ(countLines(lines, "register source=0x0 result=0"), 1) << "unregistered first";
    EXPECT_EQ(countLines(lines, "link dropped"), 2);
    // Nobody waits any more: the event stays set.
    SetEvent(reconnect.get());
    EXPECT_EQ(WaitForSingleObject(reconnect.get(), 0), WAIT_OBJECT_0);

    // A handler may let go of its own session.
    std::unique_ptr<NativeWifiSession> ending;
    bool ended = false;
    ending = wifi.open([&](const platform::WifiEvent&) {
        ending.reset();
        ended = true;
    });
    SetEvent(reconnect.get());
    ASSERT_TRUE(pumpUntil([&] { return ended; }, kNotificationMs));
    EXPECT_EQ(ending, nullptr);
    EXPECT_EQ(connections, 1);
}

// Whole, as the stand-in may read it at any moment.
bool writeControl(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    return win32_tests::writeBytes(part, text) &&
           MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::uint32_t codeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const NativeWifiError& error) {
        return error.code;
    }
    return 0;
}

TEST_F(Win32NativeWifiTest,
       SignalsConnectionsArrivalsRemovalsAndAServiceRestartAsTheSystemTellsThem) {
    using Kind = platform::WifiEvent::Kind;
    WifiInterfaceId second = kStandInInterface;
    second[15] = 0x62;
    const std::string control = logPath_ + ".control";
    ASSERT_TRUE(writeControl(control, "quality=64\n"));
    setEnvironment("NOLVARA_WLAN_CONTROL", control.c_str());
    std::vector<platform::WifiEvent> events;
    const auto record = [&](const platform::WifiEvent& event) { events.push_back(event); };
    const auto heard = [&](Kind kind, const WifiInterfaceId& id, std::uint32_t reason = 0) {
        return std::count_if(events.begin(), events.end(), [&](const platform::WifiEvent& e) {
            return e.kind == kind && e.id == id && e.reason == reason;
        });
    };
    auto session = wifi.open(record);
    EXPECT_EQ(session->rssi(kStandInInterface), -68);
    EXPECT_EQ(codeOf([&] { session->rssi(second); }), 1168u);

    // A failed attempt comes as a connection complete with its reason code.
    ASSERT_TRUE(writeControl(control, "quality=30\nsecond=connected\nattempts=1\n"));
    ASSERT_TRUE(pumpUntil(
        [&] {
            return heard(Kind::Connected, kStandInInterface, 0x38002) == 1 &&
                   heard(Kind::Arrived, second) == 1 && heard(Kind::Connected, second) == 1;
        },
        kNotificationMs));
    EXPECT_EQ(session->rssi(kStandInInterface), -85);
    EXPECT_EQ(session->interfaces().size(), 2u);
    session->set(second, WifiSetting::BackgroundScan, false);
    EXPECT_FALSE(session->query(second, WifiSetting::BackgroundScan));
    EXPECT_TRUE(session->query(kStandInInterface, WifiSetting::BackgroundScan)) << "each its own";

    ASSERT_TRUE(writeControl(control, "quality=30\n"));
    ASSERT_TRUE(pumpUntil([&] { return heard(Kind::Removed, second) == 1; }, kNotificationMs));
    EXPECT_EQ(codeOf([&] { session->set(second, WifiSetting::BackgroundScan, false); }), 1168u);

    // The service stops: every call, an open too, answers 1722. Back again,
    // the handle from before answers 6; a new one finds the defaults, and
    // only it hears of changes.
    session->set(kStandInInterface, WifiSetting::BackgroundScan, false);
    ASSERT_TRUE(writeControl(control, "service=down\nrestarts=1\n"));
    EXPECT_EQ(codeOf([&] { session->interfaces(); }), 1722u);
    EXPECT_EQ(codeOf([&] { wifi.open(record); }), 1722u);
    ASSERT_TRUE(writeControl(control, "restarts=1\n"));
    EXPECT_EQ(codeOf([&] { session->query(kStandInInterface, WifiSetting::BackgroundScan); }), 6u);
    auto fresh = wifi.open(record);
    EXPECT_TRUE(fresh->query(kStandInInterface, WifiSetting::BackgroundScan));
    events.clear();
    ASSERT_TRUE(writeControl(control, "restarts=1\nfirst=disconnected\n"));
    ASSERT_TRUE(pumpUntil([&] { return heard(Kind::Disconnected, kStandInInterface) > 0; },
                          kNotificationMs));
    EXPECT_FALSE(pumpUntil([&] { return events.size() > 1; }, 600))
        << "the old registration is gone";
    session.reset();
    fresh.reset();
    EXPECT_EQ(countLines(log(), "close result=6"), 1);
}

TEST_F(Win32NativeWifiTest, RepeatedSessionsLeaveNoHandleOrWindowBehind) {
    const auto cycle = [this] {
        auto session = wifi.open(ignore);
        session->interfaces();
        session->set(kStandInInterface, WifiSetting::MediaStreaming, true);
        session->query(kStandInInterface, WifiSetting::MediaStreaming);
    };
    // The log is not what is measured.
    setEnvironment("NOLVARA_WLAN_LOG", nullptr);
    cycle();
    const HandleUse before = handleUse();
    for (int i = 0; i < 100; ++i) cycle();
    const HandleUse after = handleUse();
    EXPECT_LE(after.count, before.count);
    EXPECT_LE(after.nextHandle, before.nextHandle + 64 * sizeof(std::uintptr_t));
    EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, kEventsClass, nullptr), nullptr);
}

TEST(Win32NativeWifi, WithoutTheLibraryOrItsFunctionsNothingIsAvailable) {
    struct Case {
        std::string path;
        std::uint32_t code;
    };
    // A library that lacks the functions counts as none.
    const Case cases[] = {{"C:\\nowhere\\wlanapi.dll", ERROR_MOD_NOT_FOUND},
                          {systemFile("kernel32.dll"), ERROR_PROC_NOT_FOUND}};
    for (const Case& c : cases) {
        Win32NativeWifi wifi(c.path);
        EXPECT_FALSE(wifi.available()) << c.path;
        EXPECT_FALSE(wifi.available()) << c.path;
        try {
            wifi.open(ignore);
            ADD_FAILURE() << c.path << ": opened";
        } catch (const NativeWifiError& error) {
            EXPECT_EQ(error.code, c.code) << c.path << ": " << error.what();
        }
    }
    EXPECT_EQ(platform::win32::SystemWlanLibraryPath(), systemFile("wlanapi.dll"));
}

}  // namespace
