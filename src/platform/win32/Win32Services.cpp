#include "platform/win32/Win32Services.h"

namespace platform::win32 {

namespace {

void copyStatus(const SERVICE_STATUS& record, platform::ServiceStatus& status) {
    status.state = record.dwCurrentState;
    status.checkpoint = record.dwCheckPoint;
    status.waitHintMs = record.dwWaitHint;
}

// The refusals for which the manager reports the service's latest status.
bool fillsStatusWhenRefused(DWORD error) {
    return error == ERROR_SERVICE_NOT_ACTIVE || error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL ||
           error == ERROR_INVALID_SERVICE_CONTROL;
}

}  // namespace

bool Win32ServiceConnection::start() { return StartServiceA(service_.get(), 0, nullptr) != FALSE; }

bool Win32ServiceConnection::stop(platform::ServiceStatus& status) {
    SERVICE_STATUS record{};
    const bool accepted = ControlService(service_.get(), SERVICE_CONTROL_STOP, &record) != FALSE;
    if (!accepted && !fillsStatusWhenRefused(GetLastError())) {
        // Whatever the record holds now is not a state (Wine leaves junk in
        // it on a refused right), so the state is asked for; 0 when that
        // fails too.
        if (!QueryServiceStatus(service_.get(), &record)) record = SERVICE_STATUS{};
    }
    copyStatus(record, status);
    return accepted;
}

bool Win32ServiceConnection::query(platform::ServiceStatus& status) {
    SERVICE_STATUS record{};
    if (!QueryServiceStatus(service_.get(), &record)) return false;
    copyStatus(record, status);
    return true;
}

std::unique_ptr<platform::ServiceConnection> Win32ServiceManager::open(const std::string& machine,
                                                                       const std::string& service,
                                                                       Access access) {
    ScHandle manager(
        OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(), nullptr, SC_MANAGER_CONNECT));
    if (!manager) return nullptr;
    // Only the rights the one operation needs: a user who may stop the
    // service but not reconfigure it still gets it opened.
    const DWORD rights =
        SERVICE_QUERY_STATUS | (access == Access::Start ? SERVICE_START : SERVICE_STOP);
    ScHandle opened(OpenServiceA(manager.get(), service.c_str(), rights));
    if (!opened) return nullptr;
    return std::make_unique<Win32ServiceConnection>(std::move(manager), std::move(opened));
}

}  // namespace platform::win32
