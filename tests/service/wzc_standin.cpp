// Stands in for the wireless service in the tests' own Wine prefixes, where it
// is registered as WZCSVC: a service that starts and stops on request through
// the service manager and does nothing else. It is a tool of the tests and
// never ships.
//
// Under its key's Parameters a test can make it slow or failing:
//   StartMs     (DWORD) how long a start stays pending, with a checkpoint
//               every half second;
//   FailStarts  (DWORD) how many of the next starts fail, counted down.
// While it runs, Windows would scan: the file wzc_standin.scanning beside
// the program says so to the tests' router, which answers late then.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Owns the event that asks the service to end.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

SERVICE_STATUS_HANDLE statusHandle = nullptr;
// Set while serviceMain runs; the manager sends controls only then.
Event* stopRequested = nullptr;

// The checkpoint counts the steps of a pending start or stop, so that a
// caller polling the state sees progress, and is 0 outside of them.
void report(DWORD state, DWORD checkpoint, DWORD waitHintMs, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    // Only a running service takes the stop control; a pending one must be
    // waited for, as with any real service.
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwCheckPoint = checkpoint;
    status.dwWaitHint = waitHintMs;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI handleControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
            report(SERVICE_STOP_PENDING, 1, 2000);
            SetEvent(stopRequested->get());
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

constexpr const char* kParameters = "SYSTEM\\CurrentControlSet\\Services\\WZCSVC\\Parameters";

DWORD parameter(const char* name) {
    DWORD value = 0, size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParameters, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        value = 0;
    RegCloseKey(key);
    return value;
}

void setParameter(const char* name, DWORD value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParameters, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::string scanningMarker() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string marker = path;
    marker.resize(marker.rfind('\\') + 1);
    return marker + "wzc_standin.scanning";
}

void WINAPI serviceMain(DWORD, char**) {
    statusHandle = RegisterServiceCtrlHandlerExA("WZCSVC", handleControl, nullptr);
    if (statusHandle == nullptr) return;
    const DWORD startMs = parameter("StartMs");
    report(SERVICE_START_PENDING, 1, startMs > 0 ? startMs : 2000);
    for (DWORD waited = 0, step = 2; waited < startMs; waited += 500, ++step) {
        Sleep(500);
        report(SERVICE_START_PENDING, step, startMs);
    }
    if (const DWORD failing = parameter("FailStarts"); failing > 0) {
        setParameter("FailStarts", failing - 1);
        report(SERVICE_STOPPED, 0, 0, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    Event stop;
    if (stop.get() == nullptr) {
        report(SERVICE_STOPPED, 0, 0, GetLastError());
        return;
    }
    stopRequested = &stop;
    report(SERVICE_START_PENDING, 2, 2000);
    const std::string marker = scanningMarker();
    CloseHandle(CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    report(SERVICE_RUNNING, 0, 0);
    WaitForSingleObject(stop.get(), INFINITE);
    stopRequested = nullptr;
    DeleteFileA(marker.c_str());
    // The last report: the manager may end the process right after it.
    report(SERVICE_STOPPED, 0, 0);
}

}  // namespace

int main() {
    // An own-process service ignores the name in the table; any will do.
    char name[] = "WZCSVC";
    const SERVICE_TABLE_ENTRYA services[] = {{name, serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(services)) {
        std::fprintf(stderr,
                     "wzc_standin runs only as a service started by the service manager "
                     "(error %lu).\n",
                     GetLastError());
        return 1;
    }
    return 0;
}
