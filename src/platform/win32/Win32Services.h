// The Windows service manager, through the advapi32 service functions.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/ServiceManager.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

// A handle of the service manager, to the manager itself or to a service.
struct CloseServiceManagerHandle {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = UniqueHandle<SC_HANDLE, CloseServiceManagerHandle>;

class Win32ServiceConnection : public platform::ServiceConnection {
public:
    Win32ServiceConnection(ScHandle manager, ScHandle service)
        : manager_(std::move(manager)), service_(std::move(service)) {}
    // The service handle goes first: it was opened through the manager's.
    ~Win32ServiceConnection() override { service_.reset(); }

    bool start() override;
    // A refused control still reports the state: the manager's own for a
    // service that is not running or cannot take the control now, a separate
    // query for any other refusal (a missing right, a service that did not
    // answer the control in time).
    bool stop(platform::ServiceStatus& status) override;
    bool query(platform::ServiceStatus& status) override;

private:
    ScHandle manager_;
    ScHandle service_;
};

class Win32ServiceManager : public platform::ServiceManager {
public:
    // An empty machine name stands for this machine.
    std::unique_ptr<platform::ServiceConnection> open(const std::string& machine,
                                                      const std::string& service,
                                                      Access access) override;
};

}  // namespace platform::win32
