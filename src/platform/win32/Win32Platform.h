// Every Win32 facility, bundled as the platform the program's logic runs on.
#pragma once

#include <windows.h>

#include "platform/Platform.h"
#include "platform/win32/Win32Adapters.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Icmp.h"
#include "platform/win32/Win32NativeWifi.h"
#include "platform/win32/Win32NotifyArea.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32SessionShare.h"
#include "platform/win32/Win32Signature.h"
#include "platform/win32/Win32System.h"

namespace platform::win32 {

struct Win32Platform {
    Win32Platform() = default;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Dialogs and started programs belong to the main window once it exists.
    void setOwner(HWND owner) {
        dialogs.setOwner(owner);
        launcher.setOwner(owner);
    }

    Win32System system;
    Win32Dialogs dialogs;
    Win32Registry registry;
    Win32FileSystem files;
    Win32Processes processes;
    Win32Shell launcher;
    Win32ServiceManager services;
    Win32IcmpEcho icmp;
    Win32AdapterInfo adapters;
    Win32Http http;
    Win32SignatureCheck signatures;
    Win32NativeWifi wifi;
    Win32SessionShare share;
    Win32NotifyArea notify;
    Win32PowerSource power;
    platform::Platform platform{system,     dialogs,  registry, files,    processes,
                                launcher,   services, icmp,     adapters, http,
                                signatures, wifi,     share,    notify,   power};
};

}  // namespace platform::win32
