// The facilities the program's logic reaches the system through.
#pragma once

#include "platform/Dialogs.h"
#include "platform/System.h"

namespace platform {

struct Platform {
    System& system;
    Dialogs& dialogs;
};

}  // namespace platform
