// The Windows service manager: one service opened for starting or stopping,
// its status read back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// States as the service manager reports them.
enum ServiceStateValue : std::uint32_t {
    kServiceStopped = 1,
    kServiceStartPending = 2,
    kServiceStopPending = 3,
    kServiceRunning = 4,
};

struct ServiceStatus {
    std::uint32_t state = 0;
    std::uint32_t checkpoint = 0;
    std::uint32_t waitHintMs = 0;
};

// A service opened through the manager; both handles are closed, the service's
// first, when the connection goes away.
class ServiceConnection {
public:
    virtual ~ServiceConnection() = default;
    // Asks the manager to start the service; false when it refuses.
    virtual bool start() = 0;
    // Sends the stop control. The status is filled with the latest state even
    // when the control is refused (as for a service that is not running).
    virtual bool stop(ServiceStatus& status) = 0;
    virtual bool query(ServiceStatus& status) = 0;
};

class ServiceManager {
public:
    enum class Access { Start, Stop };
    virtual ~ServiceManager() = default;
    // Connects to the manager of the named machine and opens the service with
    // the rights to query it and to start or to stop it; nullptr when either
    // cannot be opened.
    virtual std::unique_ptr<ServiceConnection> open(const std::string& machine,
                                                    const std::string& service, Access access) = 0;
};

}  // namespace platform
