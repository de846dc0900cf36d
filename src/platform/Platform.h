// The facilities the program's logic reaches the system through.
#pragma once

#include "platform/AdapterInfo.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/IcmpEcho.h"
#include "platform/NativeWifi.h"
#include "platform/NotifyArea.h"
#include "platform/PowerSource.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "platform/SessionShare.h"
#include "platform/Shell.h"
#include "platform/Signature.h"
#include "platform/System.h"

namespace platform {

struct Platform {
    System& system;
    Dialogs& dialogs;
    Registry& registry;
    FileSystem& files;
    Processes& processes;
    Shell& shell;
    ServiceManager& services;
    IcmpEcho& icmp;
    AdapterInfo& adapters;
    Http& http;
    SignatureCheck& signatures;
    NativeWifi& wifi;
    SessionShare& share;
    NotifyArea& notify;
    PowerSource& power;
};

}  // namespace platform
