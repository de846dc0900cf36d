// Starting and stopping a service through the real service manager: the tests'
// stand-in registered as WZCSVC in the prefix the tests run in.
#include <gtest/gtest.h>
#include <windows.h>
// tlhelp32.h needs the types of windows.h.

#include <memory>
#include <string>
#include <utility>

#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32System.h"
#include "service/ServiceManagers.h"
#include "win32/TestFiles.h"

namespace {

using platform::ServiceManager;
using platform::ServiceStatus;

constexpr char kService[] = "WZCSVC";
// The first start of a new service exe in a fresh prefix can be reported as
// timed out and still succeed seconds later.
constexpr DWORD kFirstStartMs = 20000;
// The manager of a prefix's first boot lives on, beside the one of the next
// session, when that session began before the boot had ended; it may yet go.
constexpr DWORD kSecondManagerGoneMs = 60000;
// Later starts and stops of the stand-in take a fraction of a second.
constexpr DWORD kStateChangeMs = 5000;

std::string standInPath() { return win32_tests::builtFilePath(NOLVARA_WZC_STANDIN); }

// Waits, bounded, for the service to report the state; false on a failed
// query or when the time runs out.
bool waitForState(platform::ServiceConnection& service, std::uint32_t state, DWORD withinMs) {
    const DWORD startedAt = GetTickCount();
    ServiceStatus status;
    while (service.query(status)) {
        if (status.state == state) return true;
        if (GetTickCount() - startedAt >= withinMs) return false;
        Sleep(50);
    }
    return false;
}

using platform::win32::ScHandle;

ScHandle createService(SC_HANDLE manager, const char* name, const std::string& exePath) {
    const std::string command = "\"" + exePath + "\"";
    return ScHandle(CreateServiceA(
        manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
}

using service_tests::runningServiceManagers;

class WzcStandIn : public testing::Test {
protected:
    // Registered once for the whole group, since only the first start is slow.
    static void SetUpTestSuite() { registration_ = registerStandIn(); }

    static void TearDownTestSuite() {
        ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        ScHandle service(OpenServiceA(manager.get(), kService, SERVICE_ALL_ACCESS));
        if (!service) return;
        SERVICE_STATUS status{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        platform::win32::Win32ServiceConnection owner(ScHandle(), std::move(service));
        waitForState(owner, platform::kServiceStopped, kStateChangeMs);
        ScHandle remover(OpenServiceA(manager.get(), kService, DELETE));
        DeleteService(remover.get());
    }

    // Every test begins with the service stopped.
    void SetUp() override {
        ASSERT_EQ(registration_, "") << "the stand-in service is not ready";
        auto service = manager_.open(machine_, kService, ServiceManager::Access::Stop);
        ASSERT_NE(service, nullptr);
        ServiceStatus status;
        service->stop(status);
        ASSERT_TRUE(waitForState(*service, platform::kServiceStopped, kStateChangeMs));
    }

    std::unique_ptr<platform::ServiceConnection> open(ServiceManager::Access access) {
        return manager_.open(machine_, kService, access);
    }

    platform::win32::Win32ServiceManager manager_;
    // The manager is addressed by this machine's name, as the program does.
    std::string machine_ = platform::win32::Win32System().computerName();

private:
    // Creates the service and brings it up once; the text says what failed.
    static std::string registerStandIn() {
        const std::string path = standInPath();
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return "no stand-in at " + path;
        // Calls that name the machine reach either manager while two run,
        // and only one of them knows the stand-in.
        const DWORD waitedFrom = GetTickCount();
        while (runningServiceManagers() > 1) {
            if (GetTickCount() - waitedFrom >= kSecondManagerGoneMs)
                return "two service managers run in this prefix: the tests began before the "
                       "prefix's first boot was over (wait for it with wineserver -w)";
            Sleep(200);
        }
        ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) return "no service manager";
        ScHandle service = createService(manager.get(), kService, path);
        // Left behind by an earlier run in the same prefix.
        if (!service && GetLastError() == ERROR_SERVICE_EXISTS)
            service = ScHandle(OpenServiceA(manager.get(), kService, SERVICE_ALL_ACCESS));
        if (!service) return "the stand-in cannot be registered: " + std::to_string(GetLastError());
        SC_HANDLE handle = service.get();
        platform::win32::Win32ServiceConnection owner(std::move(manager), std::move(service));
        // A start the manager gave up on (a time-out, 1053, or a database
        // still locked by the prefix's boot, 1055) leaves the service
        // stopped, or lets it come up late: start again while it is stopped.
        const DWORD startedAt = GetTickCount();
        while (true) {
            ServiceStatus status;
            if (!owner.query(status)) return "the stand-in's state cannot be read";
            if (status.state == platform::kServiceRunning) return "";
            if (status.state == platform::kServiceStopped) StartServiceA(handle, 0, nullptr);
            if (GetTickCount() - startedAt >= kFirstStartMs) return "the stand-in does not start";
            Sleep(100);
        }
    }

    static std::string registration_;
};

std::string WzcStandIn::registration_;

TEST_F(WzcStandIn, StartAndStopReachTheirStates) {
    auto starter = open(ServiceManager::Access::Start);
    ASSERT_NE(starter, nullptr);
    ServiceStatus status;
    ASSERT_TRUE(starter->query(status));
    EXPECT_EQ(status.state, platform::kServiceStopped);

    EXPECT_TRUE(starter->start());
    ASSERT_TRUE(waitForState(*starter, platform::kServiceRunning, kStateChangeMs));
    EXPECT_FALSE(starter->start()) << "a running service is not started twice";

    auto stopper = open(ServiceManager::Access::Stop);
    ASSERT_NE(stopper, nullptr);
    status = ServiceStatus{};
    EXPECT_TRUE(stopper->stop(status));
    EXPECT_TRUE(status.state == platform::kServiceStopPending ||
                status.state == platform::kServiceStopped)
        << "state after the stop control: " << status.state;
    EXPECT_TRUE(waitForState(*stopper, platform::kServiceStopped, kStateChangeMs));
}

TEST_F(WzcStandIn, StopOfAStoppedServiceIsRefusedYetReadsStopped) {
    auto stopper = open(ServiceManager::Access::Stop);
    ASSERT_NE(stopper, nullptr);
    // Values the refusal must overwrite.
    ServiceStatus status{platform::kServiceRunning, 7, 7};
    EXPECT_FALSE(stopper->stop(status));
    EXPECT_EQ(status.state, platform::kServiceStopped);
    EXPECT_EQ(status.checkpoint, 0u);
}

TEST_F(WzcStandIn, EachConnectionHasOnlyTheRightsOfItsOperation) {
    auto stopper = open(ServiceManager::Access::Stop);
    auto starter = open(ServiceManager::Access::Start);
    ASSERT_NE(stopper, nullptr);
    ASSERT_NE(starter, nullptr);

    EXPECT_FALSE(stopper->start());
    ServiceStatus status;
    ASSERT_TRUE(stopper->query(status));
    EXPECT_EQ(status.state, platform::kServiceStopped);

    ASSERT_TRUE(starter->start());
    ASSERT_TRUE(waitForState(*starter, platform::kServiceRunning, kStateChangeMs));
    // Refused for want of the right, and the state is still read.
    status = ServiceStatus{};
    EXPECT_FALSE(starter->stop(status));
    EXPECT_EQ(status.state, platform::kServiceRunning);

    EXPECT_TRUE(stopper->stop(status));
    EXPECT_TRUE(waitForState(*stopper, platform::kServiceStopped, kStateChangeMs));
}

TEST_F(WzcStandIn, WhatCannotBeOpenedGivesNoConnection) {
    EXPECT_EQ(manager_.open(machine_, "NoSuchService", ServiceManager::Access::Start), nullptr);
    EXPECT_EQ(manager_.open(machine_, "", ServiceManager::Access::Stop), nullptr);
    // An empty machine name is this machine.
    EXPECT_NE(manager_.open("", kService, ServiceManager::Access::Start), nullptr);
}

TEST_F(WzcStandIn, ClosingTheConnectionReleasesTheService) {
    // A deleted service lingers, marked for deletion, while any handle to it
    // is open: its name can be used again only after the connection let go.
    constexpr char kName[] = "NolvaraHandleCheck";
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScHandle created = createService(manager.get(), kName, standInPath());
    ASSERT_TRUE(created);
    auto connection = manager_.open(machine_, kName, ServiceManager::Access::Stop);
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(DeleteService(created.get()));
    created.reset();

    ScHandle early = createService(manager.get(), kName, standInPath());
    const DWORD earlyError = GetLastError();
    EXPECT_FALSE(early);
    EXPECT_EQ(earlyError, static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    connection.reset();
    ScHandle again = createService(manager.get(), kName, standInPath());
    const DWORD againError = GetLastError();
    EXPECT_TRUE(again) << "error " << againError;
    if (again) DeleteService(again.get());
}

}  // namespace
