// A wlanapi.dll of the tests' own, copied over the system's one in a test
// prefix: Wine's lists no interfaces and its WlanSetInterface ends the
// process. It plays one wireless interface and keeps the two settings the
// program changes the way Windows keeps them.
//
// What the tests rely on:
// - One interface, GUID {6e6f6c76-6172-6120-7465-737420776c61}, described as
//   "Nolvara test wireless adapter", connected; NOLVARA_WLAN_STATE=disconnected
//   reports it disconnected.
// - Background scan on and media streaming off at first, per process. A value
//   set stays until the handle that set it closes or the link drops.
// - NOLVARA_WLAN_FAIL, a comma list of call=code (call: open, enum, set,
//   query, register, close), makes that call answer that code and change
//   nothing.
// - NOLVARA_WLAN_LOG names a file that gets one line per call:
//   "<unix epoch ms> <process id> <text>". A query that fails logs value=0,
//   the value the caller got. Calls with an opcode other than the two are
//   answered but not logged, as no line text is set aside for them.
// - Setting the named event NolvaraWlanStandIn.Reconnect drops and restores
//   the link: the settings go back to the defaults, and a client that
//   registered for ACM notifications hears of a completed connection.
//
// The environment is read at each call, so a test can change it in between.
#include <windows.h>
// wlanapi.h needs the types of windows.h.
#include <wlanapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EpochMs.h"

namespace {

constexpr GUID kInterface = {
    0x6e6f6c76, 0x6172, 0x6120, {0x74, 0x65, 0x73, 0x74, 0x20, 0x77, 0x6c, 0x61}};
constexpr wchar_t kDescription[] = L"Nolvara test wireless adapter";
constexpr char kReconnectEvent[] = "NolvaraWlanStandIn.Reconnect";
constexpr char kLogMutex[] = "NolvaraWlanStandIn.Log";
// A turn at the log that does not come in this time is taken anyway.
constexpr DWORD kLogTurnMs = 2000;
// How long closing a handle waits for its notification thread to end.
constexpr DWORD kStopWaitMs = 5000;

constexpr BOOL kBackgroundScanDefault = TRUE;
constexpr BOOL kMediaStreamingDefault = FALSE;

// ---- The environment ----

std::string environment(const char* name) {
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return std::string();
    return std::string(value, length);
}

// The code NOLVARA_WLAN_FAIL sets for this call, or ERROR_SUCCESS.
DWORD injectedFailure(const char* call) {
    const std::string list = environment("NOLVARA_WLAN_FAIL");
    const std::string key = std::string(call) + "=";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(start, end - start);
        if (item.compare(0, key.size(), key) == 0)
            return static_cast<DWORD>(std::strtoul(item.c_str() + key.size(), nullptr, 0));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

// ---- The log ----

void log(const std::string& text) {
    const std::string path = environment("NOLVARA_WLAN_LOG");
    if (path.empty()) return;
    char head[64];
    std::snprintf(head, sizeof head, "%llu %lu ", UnixEpochMs(),
                  static_cast<unsigned long>(GetCurrentProcessId()));
    const std::string line = head + text + "\n";
    // Appending only, in one write, so that the lines of processes that log
    // at the same time stay whole. Wine's appends from several processes
    // lose and tear lines nonetheless, so the processes of a prefix also
    // take turns.
    const HANDLE turn = CreateMutexA(nullptr, FALSE, kLogMutex);
    const DWORD waited = turn != nullptr ? WaitForSingleObject(turn, kLogTurnMs) : WAIT_FAILED;
    const HANDLE file =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(turn);
    if (turn != nullptr) CloseHandle(turn);
}

std::string resultText(DWORD code) { return " result=" + std::to_string(code); }

// ---- The state of the process ----

struct Lock {
    Lock() { InitializeCriticalSection(&section); }
    ~Lock() { DeleteCriticalSection(&section); }
    CRITICAL_SECTION section;
};
Lock lock;

struct Held {
    Held() { EnterCriticalSection(&lock.section); }
    ~Held() { LeaveCriticalSection(&lock.section); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

struct Client;

struct Value {
    BOOL value;
    const BOOL initial;
    // The handle it was set through; the value goes back when that closes.
    Client* setBy = nullptr;

    void reset() {
        value = initial;
        setBy = nullptr;
    }
};
Value backgroundScan{kBackgroundScanDefault, kBackgroundScanDefault};
Value mediaStreaming{kMediaStreamingDefault, kMediaStreamingDefault};

struct Client {
    // Handle values are never used twice in a process, so a closed handle
    // stays unknown.
    HANDLE handle = nullptr;
    // The notification thread and what it calls; the callback and context
    // are read and written under the lock.
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE stop = nullptr;
    HANDLE reconnect = nullptr;
    WLAN_NOTIFICATION_CALLBACK callback = nullptr;
    void* context = nullptr;
};
std::vector<std::unique_ptr<Client>> clients;
std::uintptr_t lastHandle = 0x4e00;

Client* clientOf(HANDLE handle) {
    for (const auto& client : clients)
        if (client->handle == handle) return client.get();
    return nullptr;
}

Value* valueOf(WLAN_INTF_OPCODE opcode) {
    if (opcode == wlan_intf_opcode_background_scan_enabled) return &backgroundScan;
    if (opcode == wlan_intf_opcode_media_streaming_mode) return &mediaStreaming;
    return nullptr;
}

const char* nameOf(WLAN_INTF_OPCODE opcode) {
    return opcode == wlan_intf_opcode_background_scan_enabled ? "background_scan_enabled"
                                                              : "media_streaming_mode";
}

// ---- Notifications ----

DWORD WINAPI notifyOnReconnect(void* param) {
    auto* client = static_cast<Client*>(param);
    const HANDLE events[] = {client->stop, client->reconnect};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        WLAN_NOTIFICATION_CALLBACK callback = nullptr;
        void* context = nullptr;
        {
            // Windows forgets the settings whenever the link drops.
            const Held held;
            backgroundScan.reset();
            mediaStreaming.reset();
            callback = client->callback;
            context = client->context;
        }
        log("link dropped");
        WLAN_CONNECTION_NOTIFICATION_DATA connection;
        std::memset(&connection, 0, sizeof connection);
        WLAN_NOTIFICATION_DATA data;
        std::memset(&data, 0, sizeof data);
        data.NotificationSource = WLAN_NOTIFICATION_SOURCE_ACM;
        data.NotificationCode = wlan_notification_acm_connection_complete;
        data.InterfaceGuid = kInterface;
        data.dwDataSize = sizeof connection;
        data.pData = &connection;
        if (callback != nullptr) callback(&data, context);
        log("notify connection_complete");
    }
    return 0;
}

struct Notifier {
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE stop = nullptr;
    HANDLE reconnect = nullptr;
};

// Starts the client's notification thread unless it runs; under the lock.
// The event exists from the moment the registration returns, so whoever
// sets it right after finds it.
bool startNotifying(Client& client) {
    if (client.thread != nullptr) return true;
    client.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    client.reconnect = CreateEventA(nullptr, FALSE, FALSE, kReconnectEvent);
    if (client.stop != nullptr && client.reconnect != nullptr)
        // A small stack: the thread only waits, and the footprint benchmark
        // should measure the program rather than its stand-in.
        client.thread = CreateThread(nullptr, 64 * 1024, &notifyOnReconnect, &client,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, &client.threadId);
    if (client.thread != nullptr) return true;
    if (client.stop != nullptr) CloseHandle(client.stop);
    if (client.reconnect != nullptr) CloseHandle(client.reconnect);
    client.stop = client.reconnect = nullptr;
    return false;
}

// Takes the notification thread off the client; under the lock.
Notifier takeNotifier(Client& client) {
    Notifier notifier;
    notifier.thread = std::exchange(client.thread, nullptr);
    notifier.threadId = std::exchange(client.threadId, 0);
    notifier.stop = std::exchange(client.stop, nullptr);
    notifier.reconnect = std::exchange(client.reconnect, nullptr);
    return notifier;
}

// Ends the client's notification thread, if any; outside the lock, which the
// thread may be waiting for. The thread itself cannot wait for its own end.
// False when the thread may still run.
bool stopNotifying(const Notifier& notifier) {
    if (notifier.thread == nullptr) return true;
    SetEvent(notifier.stop);
    const bool ended = notifier.threadId != GetCurrentThreadId() &&
                       WaitForSingleObject(notifier.thread, kStopWaitMs) == WAIT_OBJECT_0;
    CloseHandle(notifier.thread);
    // The thread waits on the events for as long as it runs.
    if (ended) {
        CloseHandle(notifier.stop);
        CloseHandle(notifier.reconnect);
    }
    return ended;
}

void* allocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI
    WlanOpenHandle(DWORD dwClientVersion, PVOID, PDWORD pdwNegotiatedVersion,
                   PHANDLE phClientHandle) {
    DWORD result = injectedFailure("open");
    if (result == ERROR_SUCCESS) {
        if (pdwNegotiatedVersion == nullptr || phClientHandle == nullptr ||
            (dwClientVersion != 1 && dwClientVersion != 2)) {
            result = ERROR_INVALID_PARAMETER;
        } else {
            const Held held;
            clients.push_back(std::make_unique<Client>());
            lastHandle += 4;
            clients.back()->handle = reinterpret_cast<HANDLE>(lastHandle);
            *phClientHandle = clients.back()->handle;
            *pdwNegotiatedVersion = dwClientVersion;
        }
    }
    log("open version=" + std::to_string(dwClientVersion) + resultText(result));
    return result;
}

__declspec(dllexport) DWORD WINAPI WlanCloseHandle(HANDLE hClientHandle, PVOID) {
    DWORD result = injectedFailure("close");
    if (result == ERROR_SUCCESS) {
        std::unique_ptr<Client> closed;
        Notifier notifier;
        {
            const Held held;
            for (auto it = clients.begin(); it != clients.end(); ++it) {
                if ((*it)->handle != hClientHandle) continue;
                closed = std::move(*it);
                clients.erase(it);
                notifier = takeNotifier(*closed);
                break;
            }
        }
        if (closed) {
            // No notification of the handle runs once it is closed; a thread
            // that does not end in time keeps what it reads.
            const bool ended = stopNotifying(notifier);
            const Held held;
            for (Value* value : {&backgroundScan, &mediaStreaming})
                if (value->setBy == closed.get()) value->reset();
            if (!ended) closed.release();
        } else {
            result = ERROR_INVALID_HANDLE;
        }
    }
    log("close" + resultText(result));
    return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanEnumInterfaces(HANDLE hClientHandle, PVOID, PWLAN_INTERFACE_INFO_LIST* ppInterfaceList) {
    DWORD result = injectedFailure("enum");
    DWORD count = 0;
    if (result == ERROR_SUCCESS) {
        const Held held;
        if (ppInterfaceList == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (clientOf(hClientHandle) == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else {
            auto* list = static_cast<WLAN_INTERFACE_INFO_LIST*>(
                allocate(sizeof(WLAN_INTERFACE_INFO_LIST) + sizeof(WLAN_INTERFACE_INFO)));
            if (list == nullptr) {
                result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                count = list->dwNumberOfItems = 1;
                WLAN_INTERFACE_INFO& info = list->InterfaceInfo[0];
                info.InterfaceGuid = kInterface;
                std::memcpy(info.strInterfaceDescription, kDescription, sizeof kDescription);
                info.isState = environment("NOLVARA_WLAN_STATE") == "disconnected"
                                   ? wlan_interface_state_disconnected
                                   : wlan_interface_state_connected;
                *ppInterfaceList = list;
            }
        }
    }
    log("enum count=" + std::to_string(count) + resultText(result));
    return result;
}

__declspec(dllexport) VOID WINAPI WlanFreeMemory(PVOID pMemory) {
    if (pMemory != nullptr) HeapFree(GetProcessHeap(), 0, pMemory);
}

__declspec(dllexport) DWORD WINAPI
    WlanSetInterface(HANDLE hClientHandle, const GUID* pInterfaceGuid, WLAN_INTF_OPCODE OpCode,
                     DWORD dwDataSize, const PVOID pData, PVOID) {
    Value* const target = valueOf(OpCode);
    if (target == nullptr) return ERROR_NOT_SUPPORTED;
    const bool readable = pData != nullptr && dwDataSize >= sizeof(BOOL);
    BOOL requested = FALSE;
    if (readable) std::memcpy(&requested, pData, sizeof requested);
    DWORD result = injectedFailure("set");
    if (result == ERROR_SUCCESS) {
        const Held held;
        Client* const client = clientOf(hClientHandle);
        if (client == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (!readable || pInterfaceGuid == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (!IsEqualGUID(*pInterfaceGuid, kInterface)) {
            result = ERROR_NOT_FOUND;
        } else {
            target->value = requested != FALSE;
            target->setBy = client;
        }
    }
    log(std::string("set ") + nameOf(OpCode) + "=" + (requested != FALSE ? "1" : "0") +
        resultText(result));
    return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanQueryInterface(HANDLE hClientHandle, const GUID* pInterfaceGuid, WLAN_INTF_OPCODE OpCode,
                       PVOID, PDWORD pdwDataSize, PVOID* ppData,
                       PWLAN_OPCODE_VALUE_TYPE pWlanOpcodeValueType) {
    const Value* const source = valueOf(OpCode);
    if (source == nullptr) return ERROR_NOT_SUPPORTED;
    BOOL answered = FALSE;
    DWORD result = injectedFailure("query");
    if (result == ERROR_SUCCESS) {
        const Held held;
        if (clientOf(hClientHandle) == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (pInterfaceGuid == nullptr || pdwDataSize == nullptr || ppData == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (!IsEqualGUID(*pInterfaceGuid, kInterface)) {
            result = ERROR_NOT_FOUND;
        } else {
            auto* data = static_cast<BOOL*>(allocate(sizeof(BOOL)));
            if (data == nullptr) {
                result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                answered = *data = source->value;
                *ppData = data;
                *pdwDataSize = sizeof(BOOL);
                if (pWlanOpcodeValueType != nullptr)
                    *pWlanOpcodeValueType = source->setBy != nullptr
                                                ? wlan_opcode_value_type_set_by_user
                                                : wlan_opcode_value_type_query_only;
            }
        }
    }
    log(std::string("query ") + nameOf(OpCode) + " value=" + (answered != FALSE ? "1" : "0") +
        resultText(result));
    return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanRegisterNotification(HANDLE hClientHandle, DWORD dwNotifSource, WINBOOL,
                             WLAN_NOTIFICATION_CALLBACK funcCallback, PVOID pCallbackContext, PVOID,
                             PDWORD pdwPrevNotifSource) {
    DWORD result = injectedFailure("register");
    Notifier stopped;
    if (result == ERROR_SUCCESS) {
        const Held held;
        Client* const client = clientOf(hClientHandle);
        const bool acm = (dwNotifSource & WLAN_NOTIFICATION_SOURCE_ACM) != 0;
        if (client == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (dwNotifSource != WLAN_NOTIFICATION_SOURCE_NONE && funcCallback == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else {
            if (pdwPrevNotifSource != nullptr)
                *pdwPrevNotifSource = client->callback != nullptr ? WLAN_NOTIFICATION_SOURCE_ACM
                                                                  : WLAN_NOTIFICATION_SOURCE_NONE;
            if (acm) {
                client->callback = funcCallback;
                client->context = pCallbackContext;
                if (!startNotifying(*client)) result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                // A registration replaces the one before: no more connections.
                client->callback = nullptr;
                client->context = nullptr;
                stopped = takeNotifier(*client);
            }
        }
    }
    stopNotifying(stopped);
    char source[16];
    std::snprintf(source, sizeof source, "0x%lx", static_cast<unsigned long>(dwNotifSource));
    log(std::string("register source=") + source + resultText(result));
    return result;
}

}  // extern "C"
