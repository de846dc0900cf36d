// How many service managers run in this Wine prefix. Right after the prefix is
// made its first session may still be ending, and for a while two managers
// answer side by side, only one of which knows a service registered now.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

namespace service_tests {

class Snapshot {
public:
    Snapshot() : handle_(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}
    ~Snapshot() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

inline int runningServiceManagers() {
    Snapshot snapshot;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szExeFile, "services.exe") == 0) ++count;
    return count;
}

}  // namespace service_tests
