// A wlanapi.dll of the tests' own, copied over the system's one in a test
// prefix: Wine's lists no interfaces and its WlanSetInterface ends the
// process. It plays up to two wireless interfaces and keeps the two settings
// the program changes the way Windows keeps them.
//
// What the tests rely on:
// - The first interface, GUID {6e6f6c76-6172-6120-7465-737420776c61},
//   described as "Nolvara test wireless adapter", connected;
//   NOLVARA_WLAN_STATE=disconnected reports it disconnected. The second, the
//   same GUID but for a last byte of 0x62, exists only as the control file
//   says. NOLVARA_WLAN_GUID={...}, read once, gives the first another GUID.
// - Background scan on and media streaming off at first, per process and
//   interface. A value set stays until the handle that set it closes, the
//   link drops or the service restarts.
// - NOLVARA_WLAN_FAIL, a comma list of call=code (call: open, enum, set,
//   query, register, close), makes that call answer that code and change
//   nothing.
// - NOLVARA_WLAN_LOG names a file that gets one line per call:
//   "<unix epoch ms> <process id> <text>". A query that fails logs value=0,
//   the value the caller got. Lines about the second interface end in
//   " interface=2".
// - Setting the named event NolvaraWlanStandIn.Reconnect drops and restores
//   the link of the first interface: its settings go back to the defaults,
//   and a client that registered for ACM notifications hears of a completed
//   connection.
// - As Windows 11 does without location consent, MSM registrations and
//   current-connection queries answer 5 and are logged with "gated " first.
//   The rssi opcode answers quality / 2 - 100 dBm.
// - NOLVARA_WLAN_CONTROL names a file of key=value lines, read at every call
//   and, by a client registered for notifications, four times a second:
//     quality=N, quality2=N   signal quality of the interfaces (80 at first),
//                             told through MSM notifications as it changes;
//     first=disconnected      the first interface's link is down, told;
//     attempts=N, roams=N     a new count: a failed connection attempt of the
//                             first interface (told with its reason code), a
//                             roam of it (media streaming drops, untold);
//     scans=N                 a new count: as many scans of the first
//                             interface, each told as complete (ACM);
//     second=absent|disconnected|connected   the second interface, whose
//                             arrival, connection and removal are notified;
//     service=down            every call answers 1722 (RPC server
//                             unavailable) and the registrations are gone;
//     restarts=N              a new count is a restart of the service: every
//                             handle from before answers 6, the settings are
//                             back at their defaults, registrations gone.
//
// The environment is read at each call, so a test can change it in between.
#include <windows.h>
// wlanapi.h needs the types of windows.h.
#include <rpc.h>
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

GUID kInterfaces[] = {
    {0x6e6f6c76, 0x6172, 0x6120, {0x74, 0x65, 0x73, 0x74, 0x20, 0x77, 0x6c, 0x61}},
    {0x6e6f6c76, 0x6172, 0x6120, {0x74, 0x65, 0x73, 0x74, 0x20, 0x77, 0x6c, 0x62}}};
constexpr int kInterfaceCount = 2;
constexpr wchar_t kDescription[] = L"Nolvara test wireless adapter";
// How often a registered client looks at the control file.
constexpr DWORD kControlPollMs = 250;
constexpr ULONG kQualityDefault = 80;
constexpr DWORD kRpcServerUnavailable = 1722;
// MinGW's wlanapi.h lacks the codes of the media-specific module.
constexpr DWORD kMsmSignalQualityChange = 8;
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

// ---- The control file ----

enum class Presence { Absent, Disconnected, Connected };

struct Control {
    ULONG quality[kInterfaceCount] = {kQualityDefault, kQualityDefault};
    Presence presence[kInterfaceCount] = {Presence::Connected, Presence::Absent};
    bool serviceDown = false;
    unsigned long restarts = 0;
    unsigned long attempts = 0, roams = 0, scans = 0;
};

Control readControl() {
    Control control;
    if (environment("NOLVARA_WLAN_STATE") == "disconnected")
        control.presence[0] = Presence::Disconnected;
    [[maybe_unused]] static const bool named = [] {  // once, before a notice names it
        std::string guid = environment("NOLVARA_WLAN_GUID");
        guid.resize(guid.size() == 38 ? 37 : 0);  // "{...}" without its closing brace
        return !guid.empty() &&
               !UuidFromStringA(reinterpret_cast<RPC_CSTR>(&guid[1]), &kInterfaces[0]);
    }();
    const std::string path = environment("NOLVARA_WLAN_CONTROL");
    if (path.empty()) return control;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return control;
    char bytes[1024] = {};
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &read, nullptr);
    CloseHandle(file);
    const std::string text(bytes, read);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1, line.find_last_not_of("\r ") - equals);
        const unsigned long number = std::strtoul(value.c_str(), nullptr, 10);
        if (key == "quality") control.quality[0] = number > 100 ? 100 : number;
        if (key == "quality2") control.quality[1] = number > 100 ? 100 : number;
        if (key == "second")
            control.presence[1] = value == "connected"      ? Presence::Connected
                                  : value == "disconnected" ? Presence::Disconnected
                                                            : Presence::Absent;
        if (key == "service") control.serviceDown = value == "down";
        if (key == "restarts") control.restarts = number;
        if (key == "first" && value == "disconnected") control.presence[0] = Presence::Disconnected;
        if (key == "attempts") control.attempts = number;
        if (key == "roams") control.roams = number;
        if (key == "scans") control.scans = number;
    }
    return control;
}

int interfaceOf(const GUID* guid) {
    for (int i = 0; guid != nullptr && i < kInterfaceCount; ++i)
        if (IsEqualGUID(*guid, kInterfaces[i])) return i;
    return -1;
}

std::string interfaceText(int index) { return index == 1 ? " interface=2" : ""; }

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
Value backgroundScan[kInterfaceCount] = {{kBackgroundScanDefault, kBackgroundScanDefault},
                                         {kBackgroundScanDefault, kBackgroundScanDefault}};
Value mediaStreaming[kInterfaceCount] = {{kMediaStreamingDefault, kMediaStreamingDefault},
                                         {kMediaStreamingDefault, kMediaStreamingDefault}};

void resetValues(int index) {
    backgroundScan[index].reset();
    mediaStreaming[index].reset();
}

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
    DWORD sources = WLAN_NOTIFICATION_SOURCE_NONE;
    // The control file as it was when the client registered: the thread may
    // start only after the next change.
    Control seenAtRegistration;
    // The run of the service the handle was opened in.
    unsigned long serviceRun = 0;
};
std::vector<std::unique_ptr<Client>> clients;
std::uintptr_t lastHandle = 0x4e00;
// The service's restarts as last seen: a new count resets the settings.
unsigned long restartsSeen = 0;
unsigned long roamsSeen = 0;

// The service as the control file has it, the settings reset after a
// restart; under the lock. Registrations of an earlier run are gone.
DWORD serviceAnswer(const Control& control) {
    // Read outside the lock, a control may be older than one seen already:
    // the count only ever goes forward.
    const bool restarted = control.restarts > restartsSeen;
    if (restarted || control.serviceDown) {
        for (int i = 0; i < kInterfaceCount; ++i) resetValues(i);
        for (const auto& client : clients) {
            client->callback = nullptr;
            client->context = nullptr;
            client->sources = WLAN_NOTIFICATION_SOURCE_NONE;
        }
    }
    if (restarted) restartsSeen = control.restarts;
    // The driver drops media streaming at the roam's connect indication.
    if (control.roams > roamsSeen) {
        roamsSeen = control.roams;
        mediaStreaming[0].reset();
        log("roam");
    }
    return control.serviceDown ? kRpcServerUnavailable : ERROR_SUCCESS;
}

Client* clientOf(HANDLE handle) {
    for (const auto& client : clients)
        if (client->handle == handle && client->serviceRun == restartsSeen) return client.get();
    return nullptr;
}

Value* valueOf(WLAN_INTF_OPCODE opcode, int index) {
    if (opcode == wlan_intf_opcode_background_scan_enabled) return &backgroundScan[index];
    if (opcode == wlan_intf_opcode_media_streaming_mode) return &mediaStreaming[index];
    return nullptr;
}

const char* nameOf(WLAN_INTF_OPCODE opcode) {
    return opcode == wlan_intf_opcode_background_scan_enabled ? "background_scan_enabled"
                                                              : "media_streaming_mode";
}

// ---- Notifications ----

const char* notificationName(DWORD source, DWORD code) {
    if (source == WLAN_NOTIFICATION_SOURCE_MSM) return "signal_quality";
    switch (code) {
        case wlan_notification_acm_connection_complete:
            return "connection_complete";
        case wlan_notification_acm_disconnected:
            return "disconnected";
        case wlan_notification_acm_interface_arrival:
            return "interface_arrival";
        case wlan_notification_acm_scan_complete:
            return "scan_complete";
        default:
            return "interface_removal";
    }
}

// Hands one notification to the client's callback, if it still wants that
// kind; outside the lock, as Windows calls from a thread of its own.
void fire(Client& client, DWORD source, DWORD code, int index, ULONG quality = 0,
          WLAN_REASON_CODE reason = 0) {
    WLAN_NOTIFICATION_CALLBACK callback = nullptr;
    void* context = nullptr;
    {
        const Held held;
        if ((client.sources & source) != 0) {
            callback = client.callback;
            context = client.context;
        }
    }
    if (callback == nullptr) return;
    WLAN_CONNECTION_NOTIFICATION_DATA connection;
    std::memset(&connection, 0, sizeof connection);
    WLAN_NOTIFICATION_DATA data;
    std::memset(&data, 0, sizeof data);
    data.NotificationSource = source;
    data.NotificationCode = code;
    data.InterfaceGuid = kInterfaces[index];
    if (source == WLAN_NOTIFICATION_SOURCE_MSM) {
        data.dwDataSize = sizeof quality;
        data.pData = &quality;
    } else if (code == wlan_notification_acm_connection_complete) {
        connection.wlanReasonCode = reason;
        data.dwDataSize = sizeof connection;
        data.pData = &connection;
    }
    callback(&data, context);
    std::string text = std::string("notify ") + notificationName(source, code);
    if (source == WLAN_NOTIFICATION_SOURCE_MSM) text += " quality=" + std::to_string(quality);
    if (reason != 0) text += " reason=" + std::to_string(reason);
    log(text + interfaceText(index));
}

// What changed in the control file since the client last looked, told as
// Windows would tell it.
void notifyChanges(Client& client, const Control& seen, const Control& now) {
    const DWORD acm = WLAN_NOTIFICATION_SOURCE_ACM;
    for (int i = 0; i < kInterfaceCount; ++i) {
        // A close under way waits for this thread: it tells no more.
        if (WaitForSingleObject(client.stop, 0) == WAIT_OBJECT_0) return;
        const Presence was = seen.presence[i];
        const Presence is = now.presence[i];
        if (was == Presence::Absent && is != Presence::Absent)
            fire(client, acm, wlan_notification_acm_interface_arrival, i);
        if (was == Presence::Connected && is != Presence::Connected) {
            {
                const Held held;
                resetValues(i);
            }
            fire(client, acm, wlan_notification_acm_disconnected, i);
        }
        if (was != Presence::Absent && is == Presence::Absent)
            fire(client, acm, wlan_notification_acm_interface_removal, i);
        if (was != Presence::Connected && is == Presence::Connected)
            fire(client, acm, wlan_notification_acm_connection_complete, i);
        if (is == Presence::Connected && now.quality[i] != seen.quality[i])
            fire(client, WLAN_NOTIFICATION_SOURCE_MSM, kMsmSignalQualityChange, i, now.quality[i]);
    }
    // WLAN_REASON_CODE_ASSOCIATION_FAILURE, which MinGW's header lacks.
    if (now.attempts > seen.attempts)
        fire(client, acm, wlan_notification_acm_connection_complete, 0, 0, 0x38002);
    for (unsigned long scan = seen.scans; scan < now.scans; ++scan)
        fire(client, acm, wlan_notification_acm_scan_complete, 0);
}

DWORD WINAPI notifyClient(void* param) {
    auto* client = static_cast<Client*>(param);
    const HANDLE events[] = {client->stop, client->reconnect};
    // Without a control file nothing changes but by the event: no polling,
    // which the footprint benchmark would count as the program's.
    const bool polling = !environment("NOLVARA_WLAN_CONTROL").empty();
    Control seen;
    {
        const Held held;
        seen = client->seenAtRegistration;
    }
    for (;;) {
        const DWORD woke =
            WaitForMultipleObjects(2, events, FALSE, polling ? kControlPollMs : INFINITE);
        if (woke == WAIT_OBJECT_0 + 1) {
            {
                // Windows forgets the settings whenever the link drops.
                const Held held;
                resetValues(0);
            }
            log("link dropped");
            fire(*client, WLAN_NOTIFICATION_SOURCE_ACM, wlan_notification_acm_connection_complete,
                 0);
        } else if (woke != WAIT_TIMEOUT) {
            break;
        }
        if (!polling) continue;
        const Control now = readControl();
        {
            // A restart takes the registration along.
            const Held held;
            serviceAnswer(now);
        }
        notifyChanges(*client, seen, now);
        seen = now;
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
        client.thread = CreateThread(nullptr, 64 * 1024, &notifyClient, &client,
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
        const Control control = readControl();
        const Held held;
        result = serviceAnswer(control);
        if (result != ERROR_SUCCESS) {
        } else if (pdwNegotiatedVersion == nullptr || phClientHandle == nullptr ||
                   (dwClientVersion != 1 && dwClientVersion != 2)) {
            result = ERROR_INVALID_PARAMETER;
        } else {
            clients.push_back(std::make_unique<Client>());
            lastHandle += 4;
            clients.back()->handle = reinterpret_cast<HANDLE>(lastHandle);
            clients.back()->serviceRun = restartsSeen;
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
        const Control control = readControl();
        std::unique_ptr<Client> closed;
        Notifier notifier;
        {
            const Held held;
            result = serviceAnswer(control);
            // A handle of an earlier run of the service is unknown to this
            // one, but its thread is this process's to end.
            for (auto it = clients.begin(); it != clients.end(); ++it) {
                if ((*it)->handle != hClientHandle) continue;
                if (result == ERROR_SUCCESS && (*it)->serviceRun != restartsSeen)
                    result = ERROR_INVALID_HANDLE;
                closed = std::move(*it);
                clients.erase(it);
                // No notification of it is called from here on.
                closed->callback = nullptr;
                closed->context = nullptr;
                closed->sources = WLAN_NOTIFICATION_SOURCE_NONE;
                notifier = takeNotifier(*closed);
                break;
            }
            if (!closed && result == ERROR_SUCCESS) result = ERROR_INVALID_HANDLE;
        }
        if (closed) {
            // No notification of the handle runs once it is closed; a thread
            // that does not end in time keeps what it reads.
            const bool ended = stopNotifying(notifier);
            const Held held;
            for (int i = 0; i < kInterfaceCount; ++i)
                for (Value* value : {&backgroundScan[i], &mediaStreaming[i]})
                    if (value->setBy == closed.get()) value->reset();
            if (!ended) closed.release();
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
        const Control control = readControl();
        const Held held;
        result = serviceAnswer(control);
        if (result != ERROR_SUCCESS) {
        } else if (ppInterfaceList == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (clientOf(hClientHandle) == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else {
            auto* list = static_cast<WLAN_INTERFACE_INFO_LIST*>(allocate(
                sizeof(WLAN_INTERFACE_INFO_LIST) + kInterfaceCount * sizeof(WLAN_INTERFACE_INFO)));
            if (list == nullptr) {
                result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                for (int i = 0; i < kInterfaceCount; ++i) {
                    if (control.presence[i] == Presence::Absent) continue;
                    WLAN_INTERFACE_INFO& info = list->InterfaceInfo[count++];
                    info.InterfaceGuid = kInterfaces[i];
                    std::memcpy(info.strInterfaceDescription, kDescription, sizeof kDescription);
                    info.isState = control.presence[i] == Presence::Connected
                                       ? wlan_interface_state_connected
                                       : wlan_interface_state_disconnected;
                }
                list->dwNumberOfItems = count;
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
    const int index = interfaceOf(pInterfaceGuid);
    if (valueOf(OpCode, 0) == nullptr) return ERROR_NOT_SUPPORTED;
    const bool readable = pData != nullptr && dwDataSize >= sizeof(BOOL);
    BOOL requested = FALSE;
    if (readable) std::memcpy(&requested, pData, sizeof requested);
    DWORD result = injectedFailure("set");
    if (result == ERROR_SUCCESS) {
        const Control control = readControl();
        const Held held;
        result = serviceAnswer(control);
        Client* const client = clientOf(hClientHandle);
        if (result != ERROR_SUCCESS) {
        } else if (client == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (!readable || pInterfaceGuid == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (index < 0 || control.presence[index] == Presence::Absent) {
            result = ERROR_NOT_FOUND;
        } else if (control.presence[index] != Presence::Connected) {
            result = ERROR_INVALID_STATE;
        } else {
            Value* const target = valueOf(OpCode, index);
            target->value = requested != FALSE;
            target->setBy = client;
        }
    }
    log(std::string("set ") + nameOf(OpCode) + "=" + (requested != FALSE ? "1" : "0") +
        resultText(result) + interfaceText(index));
    return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanQueryInterface(HANDLE hClientHandle, const GUID* pInterfaceGuid, WLAN_INTF_OPCODE OpCode,
                       PVOID, PDWORD pdwDataSize, PVOID* ppData,
                       PWLAN_OPCODE_VALUE_TYPE pWlanOpcodeValueType) {
    const int index = interfaceOf(pInterfaceGuid);
    const bool connection = OpCode == wlan_intf_opcode_current_connection;
    const bool rssi = OpCode == wlan_intf_opcode_rssi;
    if (!connection && !rssi && valueOf(OpCode, 0) == nullptr) return ERROR_NOT_SUPPORTED;
    long answered = 0;
    DWORD result = injectedFailure(rssi ? "rssi" : "query");
    if (result == ERROR_SUCCESS) {
        const Control control = readControl();
        const Held held;
        result = serviceAnswer(control);
        if (result != ERROR_SUCCESS) {
        } else if (clientOf(hClientHandle) == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (pInterfaceGuid == nullptr || pdwDataSize == nullptr || ppData == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if (connection) {
            result = ERROR_ACCESS_DENIED;
        } else if (index < 0 || control.presence[index] == Presence::Absent) {
            result = ERROR_NOT_FOUND;
        } else if (rssi && control.presence[index] != Presence::Connected) {
            result = ERROR_INVALID_STATE;
        } else if (rssi) {
            auto* data = static_cast<LONG*>(allocate(sizeof(LONG)));
            if (data == nullptr) {
                result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                answered = *data = static_cast<LONG>(control.quality[index] / 2) - 100;
                *ppData = data;
                *pdwDataSize = sizeof(LONG);
            }
        } else {
            const Value* const source = valueOf(OpCode, index);
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
    const std::string value = rssi ? std::to_string(answered) : answered ? "1" : "0";
    log((connection ? "gated query current_connection value="
         : rssi     ? "query rssi value="
                    : std::string("query ") + nameOf(OpCode) + " value=") +
        value + resultText(result) + interfaceText(index));
    return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanRegisterNotification(HANDLE hClientHandle, DWORD dwNotifSource, WINBOOL,
                             WLAN_NOTIFICATION_CALLBACK funcCallback, PVOID pCallbackContext, PVOID,
                             PDWORD pdwPrevNotifSource) {
    DWORD result = injectedFailure("register");
    Notifier stopped;
    if (result == ERROR_SUCCESS) {
        const Control control = readControl();
        const Held held;
        result = serviceAnswer(control);
        Client* const client = clientOf(hClientHandle);
        const DWORD wanted =
            dwNotifSource & (WLAN_NOTIFICATION_SOURCE_ACM | WLAN_NOTIFICATION_SOURCE_MSM);
        if (result != ERROR_SUCCESS) {
        } else if (client == nullptr) {
            result = ERROR_INVALID_HANDLE;
        } else if (dwNotifSource != WLAN_NOTIFICATION_SOURCE_NONE && funcCallback == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if ((dwNotifSource & WLAN_NOTIFICATION_SOURCE_MSM) != 0) {
            result = ERROR_ACCESS_DENIED;
        } else {
            if (pdwPrevNotifSource != nullptr) *pdwPrevNotifSource = client->sources;
            if (wanted != 0) {
                client->callback = funcCallback;
                client->context = pCallbackContext;
                client->sources = wanted;
                client->seenAtRegistration = control;
                if (!startNotifying(*client)) result = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                // A registration replaces the one before: no more events.
                client->callback = nullptr;
                client->context = nullptr;
                client->sources = WLAN_NOTIFICATION_SOURCE_NONE;
                stopped = takeNotifier(*client);
            }
        }
    }
    stopNotifying(stopped);
    char source[16];
    std::snprintf(source, sizeof source, "0x%lx", static_cast<unsigned long>(dwNotifSource));
    log(std::string(dwNotifSource & WLAN_NOTIFICATION_SOURCE_MSM ? "gated " : "") +
        "register source=" + source + resultText(result));
    return result;
}

}  // extern "C"
