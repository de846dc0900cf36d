// Stands in for the wireless service in the tests' own Wine prefixes, where it
// is registered as WZCSVC: a service that starts and stops on request through
// the service manager and does nothing else. It is a tool of the tests and
// never ships.
#include <windows.h>

#include <cstdio>

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

void WINAPI serviceMain(DWORD, char**) {
    statusHandle = RegisterServiceCtrlHandlerExA("WZCSVC", handleControl, nullptr);
    if (statusHandle == nullptr) return;
    report(SERVICE_START_PENDING, 1, 2000);
    Event stop;
    if (stop.get() == nullptr) {
        report(SERVICE_STOPPED, 0, 0, GetLastError());
        return;
    }
    stopRequested = &stop;
    report(SERVICE_START_PENDING, 2, 2000);
    report(SERVICE_RUNNING, 0, 0);
    WaitForSingleObject(stop.get(), INFINITE);
    stopRequested = nullptr;
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
