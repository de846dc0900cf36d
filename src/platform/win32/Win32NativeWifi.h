// The Native Wifi interface through wlanapi.dll, which only Vista and later
// have: the library is loaded when first needed, never linked, so the program
// still starts on XP.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/NativeWifi.h"

namespace platform::win32 {

// wlanapi.dll from the system folder, by its full path: the program runs with
// administrator rights and must not pick up a file of that name planted in
// its own folder.
std::string SystemWlanLibraryPath();

class Win32NativeWifi : public platform::NativeWifi {
public:
    explicit Win32NativeWifi(std::string libraryPath = SystemWlanLibraryPath());
    ~Win32NativeWifi() override;
    Win32NativeWifi(const Win32NativeWifi&) = delete;
    Win32NativeWifi& operator=(const Win32NativeWifi&) = delete;

    bool available() override;
    // Call it and let go of the session on the thread whose message loop is
    // to run onEvent.
    std::unique_ptr<platform::NativeWifiSession> open(EventHandler onEvent) override;

    // The loaded library and its functions; every session holds it too, so
    // the library stays loaded as long as any handle is open.
    struct Api;

private:
    const std::shared_ptr<const Api>& api();

    std::string libraryPath_;
    bool loadTried_ = false;
    // Why the library is missing, for the error of open().
    DWORD loadError_ = 0;
    std::shared_ptr<const Api> api_;
};

}  // namespace platform::win32
