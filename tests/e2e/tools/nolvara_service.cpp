// Prepares and inspects the wireless service of an end-to-end scenario: the
// tests' stand-in service registered as WZCSVC in the scenario's Wine prefix,
// its state and the "Start" value the program reads and writes. A tool of the
// tests; it never ships.
//
// Exit status: 0 the command did what it says, 1 it failed or a wait timed
// out, 2 the command line is wrong.
#include <windows.h>
// tlhelp32.h needs the types of windows.h.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "service/ServiceManagers.h"

namespace {

constexpr char kServiceName[] = "WZCSVC";
constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\WZCSVC";
// The first start of a new service exe in a fresh prefix can take seconds.
constexpr DWORD kWaitMs = 20000;
constexpr DWORD kPollMs = 100;
// How long the manager of the prefix's first boot may take to go away.
constexpr DWORD kSecondManagerGoneMs = 60000;

const char* const kUsage =
    "usage: nolvara_service <command> [arguments]\n"
    "  install <exePath> [startValue]  register the exe as WZCSVC (demand start), start it\n"
    "                                  once, wait until it runs, then set \"Start\"\n"
    "                                  (default 2)\n"
    "  state                           print stopped, start-pending, stop-pending, running,\n"
    "                                  ... or missing\n"
    "  start                           start the service and wait until it runs\n"
    "  stop                            stop the service and wait until it has stopped\n"
    "  start-value                     print the DWORD \"Start\" value, or missing\n"
    "  set-start-value <n>             write the DWORD \"Start\" value\n"
    "  uninstall                       stop the service and remove it\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int fail(const char* what, DWORD error) {
    std::fprintf(stderr, "nolvara_service: %s (error %lu)\n", what, error);
    return 1;
}

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ScHandle() {
        if (handle_ != nullptr) CloseServiceHandle(handle_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

class RegKey {
public:
    explicit RegKey(REGSAM access) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

const char* stateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "start-pending";
        case SERVICE_STOP_PENDING:
            return "stop-pending";
        case SERVICE_RUNNING:
            return "running";
        case SERVICE_CONTINUE_PENDING:
            return "continue-pending";
        case SERVICE_PAUSE_PENDING:
            return "pause-pending";
        case SERVICE_PAUSED:
            return "paused";
        default:
            return "unknown";
    }
}

bool parseDword(const char* text, DWORD& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 0);
    if (*text == '\0' || *text == '-' || *end != '\0' || errno != 0 || parsed > 0xFFFFFFFFul)
        return false;
    value = static_cast<DWORD>(parsed);
    return true;
}

// The service opened with the given rights; null with the error left set.
SC_HANDLE openService(SC_HANDLE manager, DWORD rights) {
    return OpenServiceA(manager, kServiceName, rights);
}

// Starts the service (again, after a start the manager gave up on while the
// process was still coming up) until it runs, within kWaitMs.
int startAndWait(SC_HANDLE service) {
    const DWORD startedAt = GetTickCount();
    DWORD lastError = 0;
    bool askToStart = true;
    while (true) {
        if (askToStart) {
            if (!StartServiceA(service, 0, nullptr)) {
                lastError = GetLastError();
                if (lastError != ERROR_SERVICE_REQUEST_TIMEOUT &&
                    lastError != ERROR_SERVICE_ALREADY_RUNNING)
                    return fail("the service does not start", lastError);
            }
            askToStart = false;
        }
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status))
            return fail("the state cannot be read", GetLastError());
        if (status.dwCurrentState == SERVICE_RUNNING) return 0;
        if (status.dwCurrentState == SERVICE_STOPPED) askToStart = true;
        if (GetTickCount() - startedAt >= kWaitMs)
            return fail("the service did not come up in time", lastError);
        Sleep(kPollMs);
    }
}

int stopAndWait(SC_HANDLE service) {
    const DWORD startedAt = GetTickCount();
    bool stopSent = false;
    while (true) {
        SERVICE_STATUS status{};
        if (!stopSent) {
            if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
                stopSent = true;
            } else {
                const DWORD error = GetLastError();
                if (error == ERROR_SERVICE_NOT_ACTIVE) return 0;
                // A service still starting, or already stopping, takes no
                // control: wait for it and ask again.
                if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
                    return fail("the service refuses to stop", error);
            }
        }
        if (!QueryServiceStatus(service, &status))
            return fail("the state cannot be read", GetLastError());
        if (status.dwCurrentState == SERVICE_STOPPED) return 0;
        if (GetTickCount() - startedAt >= kWaitMs)
            return fail("the service did not stop in time", 0);
        Sleep(kPollMs);
    }
}

int writeStartValue(DWORD value) {
    RegKey key(KEY_SET_VALUE);
    if (!key) return fail("the service key cannot be opened", ERROR_FILE_NOT_FOUND);
    const LONG result = RegSetValueExA(key.get(), "Start", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (result != ERROR_SUCCESS) return fail("\"Start\" cannot be written", result);
    return 0;
}

using service_tests::runningServiceManagers;

// A prefix whose first boot had not ended when its next session began keeps
// the boot's service manager beside the new one for a long while; calls that
// name the machine (as the program's do) then reach either of them at random,
// and only one knows the stand-in.
int waitForOneServiceManager() {
    const DWORD startedAt = GetTickCount();
    while (runningServiceManagers() > 1) {
        if (GetTickCount() - startedAt >= kSecondManagerGoneMs) {
            std::fputs(
                "nolvara_service: two service managers run in this prefix; wait for its "
                "first boot to end (wineserver -w) before the next session\n",
                stderr);
            return 1;
        }
        Sleep(kPollMs);
    }
    return 0;
}

int install(const std::string& exePath, DWORD startValue) {
    if (const int status = waitForOneServiceManager()) return status;
    ScHandle manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) return fail("the service manager cannot be opened", GetLastError());
    const std::string command = "\"" + exePath + "\"";
    ScHandle service(CreateServiceA(manager.get(), kServiceName, "WZCSVC stand-in",
                                    SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(),
                                    nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_EXISTS) return fail("the service cannot be created", error);
        // Installing again points the service at the exe given now.
        ScHandle existing(openService(manager.get(), SERVICE_ALL_ACCESS));
        if (!existing) return fail("the existing service cannot be opened", GetLastError());
        if (!ChangeServiceConfigA(existing.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                  SERVICE_NO_CHANGE, command.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr))
            return fail("the existing service cannot be changed", GetLastError());
        if (const int status = startAndWait(existing.get())) return status;
        return writeStartValue(startValue);
    }
    // Started before "Start" changes, so that a value such as 4 cannot get
    // in the way of this first start.
    if (const int status = startAndWait(service.get())) return status;
    return writeStartValue(startValue);
}

int withService(DWORD rights, int (*action)(SC_HANDLE)) {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return fail("the service manager cannot be opened", GetLastError());
    ScHandle service(openService(manager.get(), rights));
    if (!service) return fail("the service cannot be opened", GetLastError());
    return action(service.get());
}

int printState() {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return fail("the service manager cannot be opened", GetLastError());
    ScHandle service(openService(manager.get(), SERVICE_QUERY_STATUS));
    if (!service) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST)
            return fail("the service cannot be opened", error);
        std::puts("missing");
        return 0;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status))
        return fail("the state cannot be read", GetLastError());
    std::puts(stateName(status.dwCurrentState));
    return 0;
}

int printStartValue() {
    RegKey key(KEY_QUERY_VALUE);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key || RegQueryValueExA(key.get(), "Start", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        std::puts("missing");
        return 0;
    }
    if (type != REG_DWORD || size != sizeof value)
        return fail("\"Start\" is not a DWORD", ERROR_INVALID_DATATYPE);
    std::printf("%lu\n", value);
    return 0;
}

int uninstall() {
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return fail("the service manager cannot be opened", GetLastError());
    ScHandle service(openService(manager.get(), SERVICE_QUERY_STATUS | SERVICE_STOP | DELETE));
    if (!service) {
        const DWORD error = GetLastError();
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0
                                                     : fail("the service cannot be opened", error);
    }
    if (const int status = stopAndWait(service.get())) return status;
    if (!DeleteService(service.get())) return fail("the service cannot be removed", GetLastError());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "install" && (argc == 3 || argc == 4)) {
        DWORD startValue = 2;
        if (argc == 4 && !parseDword(argv[3], startValue)) return usage();
        return install(argv[2], startValue);
    }
    if (command == "set-start-value" && argc == 3) {
        DWORD value = 0;
        if (!parseDword(argv[2], value)) return usage();
        return writeStartValue(value);
    }
    if (argc != 2) return usage();
    if (command == "state") return printState();
    if (command == "start") return withService(SERVICE_QUERY_STATUS | SERVICE_START, startAndWait);
    if (command == "stop") return withService(SERVICE_QUERY_STATUS | SERVICE_STOP, stopAndWait);
    if (command == "start-value") return printStartValue();
    if (command == "uninstall") return uninstall();
    return usage();
}
