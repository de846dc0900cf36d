#include "platform/win32/Win32NativeWifi.h"

// wlanapi.h needs the types of windows.h. Only its types are used: every
// function is looked up at run time.
#include <wlanapi.h>

#include <cstddef>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/FlatMap.h"
#include "platform/win32/MessageWindow.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32DllSearch.h"
#include "platform/win32/Win32Error.h"

namespace platform::win32 {

namespace {

// Version 2 is the interface of Vista and later; XP's version 1 lacks the
// settings this is for.
constexpr DWORD kClientVersion = 2;

constexpr UINT kEventsWaiting = WM_APP + 1;
constexpr const char* kEventsClass = "NolvaraWifiEvents";
// Events not yet handled when more come are few; beyond this many they are
// dropped, and the session's user hears that some were missed.
constexpr std::size_t kMailboxEvents = 32;
// The auto-configuration module's notices alone: the media-specific
// module's are gated behind location consent (see platform/NativeWifi.h).
constexpr DWORD kNotificationSources = WLAN_NOTIFICATION_SOURCE_ACM;

struct FreeLibraryHandle {
    void operator()(HMODULE library) const { FreeLibrary(library); }
};
using LibraryHandle = UniqueHandle<HMODULE, FreeLibraryHandle>;

template <typename Function>
bool lookUp(HMODULE library, const char* name, Function& function) {
    // Through void*: GetProcAddress's own pointer type fits no function here.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// What a failed call's code means for the program.
platform::WifiFailure failureOf(DWORD code) {
    switch (code) {
        case ERROR_INVALID_HANDLE:  // a handle of the service's run before
            return platform::WifiFailure::HandleGone;
        case ERROR_SERVICE_NOT_ACTIVE:  // the service has not been started
        case RPC_S_SERVER_UNAVAILABLE:  // the service is down
        case RPC_S_CALL_FAILED:         // the remote procedure call failed
        case RPC_S_CALL_FAILED_DNE:     // ... and did not execute
        case EPT_S_NOT_REGISTERED:      // no endpoint: not listening yet
            return platform::WifiFailure::ServiceGone;
        case ERROR_INVALID_STATE:  // a setting refused while not connected
            return platform::WifiFailure::NotConnected;
        default:
            return platform::WifiFailure::Refused;
    }
}

platform::NativeWifiError wifiError(const std::string& what, const char* call, DWORD code) {
    auto error = Win32Error<platform::NativeWifiError>(what, call, code);
    error.kind = failureOf(code);
    return error;
}

[[noreturn]] void fail(const char* call, const char* what, DWORD code) {
    std::string message = call;
    if (what != nullptr) {
        message += " (";
        message += what;
        message += ")";
    }
    throw wifiError(message + " failed", call, code);
}

GUID guidOf(const platform::WifiInterfaceId& id) {
    static_assert(sizeof(GUID) == std::tuple_size_v<platform::WifiInterfaceId>);
    GUID guid;
    std::memcpy(&guid, id.data(), sizeof guid);
    return guid;
}

platform::WifiInterfaceId idOf(const GUID& guid) {
    platform::WifiInterfaceId id;
    std::memcpy(id.data(), &guid, id.size());
    return id;
}

// The text in the ANSI code page, as every other text of the program.
std::string ansiOf(const WCHAR* text, size_t capacity) {
    int length = 0;
    while (static_cast<size_t>(length) < capacity && text[length] != L'\0') ++length;
    if (length == 0) return std::string();
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string ansi(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), bytes, nullptr, nullptr);
    return ansi;
}

struct Setting {
    WLAN_INTF_OPCODE opcode;
    const char* name;
};

Setting settingOf(platform::WifiSetting setting) {
    if (setting == platform::WifiSetting::BackgroundScan)
        return {wlan_intf_opcode_background_scan_enabled, "background scan"};
    return {wlan_intf_opcode_media_streaming_mode, "media streaming"};
}

}  // namespace

struct Win32NativeWifi::Api {
    explicit Api(LibraryHandle loaded) : library(std::move(loaded)) {}

    // True when the library has every function the program calls.
    bool resolve() {
        HMODULE l = library.get();
        return lookUp(l, "WlanOpenHandle", openHandle) &&
               lookUp(l, "WlanCloseHandle", closeHandle) &&
               lookUp(l, "WlanEnumInterfaces", enumInterfaces) &&
               lookUp(l, "WlanFreeMemory", freeMemory) &&
               lookUp(l, "WlanSetInterface", setInterface) &&
               lookUp(l, "WlanQueryInterface", queryInterface) &&
               lookUp(l, "WlanRegisterNotification", registerNotification);
    }

    LibraryHandle library;
    // decltype reads only the headers' declarations; nothing is linked.
    decltype(&::WlanOpenHandle) openHandle = nullptr;
    decltype(&::WlanCloseHandle) closeHandle = nullptr;
    decltype(&::WlanEnumInterfaces) enumInterfaces = nullptr;
    decltype(&::WlanFreeMemory) freeMemory = nullptr;
    decltype(&::WlanSetInterface) setInterface = nullptr;
    decltype(&::WlanQueryInterface) queryInterface = nullptr;
    decltype(&::WlanRegisterNotification) registerNotification = nullptr;
};

namespace {

using Api = Win32NativeWifi::Api;

// Memory the interface hands out, freed by its own allocator.
class WlanMemory {
public:
    WlanMemory(const Api& api, void* memory) : api_(api), memory_(memory) {}
    ~WlanMemory() {
        if (memory_ != nullptr) api_.freeMemory(memory_);
    }
    WlanMemory(const WlanMemory&) = delete;
    WlanMemory& operator=(const WlanMemory&) = delete;

private:
    const Api& api_;
    void* memory_;
};

// What the system's thread hands to the thread of the session: events kept
// under a lock, and a message that there are some. The system's thread finds
// a mailbox by a cookie, never by its address: a call that comes late, even
// after a close that failed with the service gone, finds nothing.
struct Mailbox {
    HWND window = nullptr;
    platform::WifiEventQueue<kMailboxEvents> events;
    // A message is on its way; none is posted again until the events are taken.
    bool signalled = false;
};

struct MailboxLock {
    MailboxLock() { InitializeCriticalSection(&section); }
    ~MailboxLock() { DeleteCriticalSection(&section); }
    MailboxLock(const MailboxLock&) = delete;
    MailboxLock& operator=(const MailboxLock&) = delete;
    CRITICAL_SECTION section;
};

struct Mailboxes {
    MailboxLock lock;
    // Cookies are never used twice in a process.
    platform::FlatMap<std::uintptr_t, Mailbox*> byCookie;
    std::uintptr_t lastCookie = 0;
};

Mailboxes& mailboxes() {
    static Mailboxes all;
    return all;
}

class Locked {
public:
    Locked() { EnterCriticalSection(&mailboxes().lock.section); }
    ~Locked() { LeaveCriticalSection(&mailboxes().lock.section); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// A mailbox's place in the table, for as long as events may come for it.
class MailboxEntry {
public:
    explicit MailboxEntry(Mailbox& box) {
        const Locked locked;
        cookie_ = ++mailboxes().lastCookie;
        mailboxes().byCookie[cookie_] = &box;
    }
    ~MailboxEntry() { withdraw(); }
    MailboxEntry(const MailboxEntry&) = delete;
    MailboxEntry& operator=(const MailboxEntry&) = delete;

    void* context() const { return reinterpret_cast<void*>(cookie_); }
    void withdraw() {
        const Locked locked;
        mailboxes().byCookie.erase(cookie_);
    }

private:
    std::uintptr_t cookie_ = 0;
};

void post(void* context, const platform::WifiEvent& event) {
    const Locked locked;
    const auto found = mailboxes().byCookie.find(reinterpret_cast<std::uintptr_t>(context));
    if (found == mailboxes().byCookie.end()) return;
    Mailbox& box = *found->second;
    box.events.put(event);
    // One message for a burst: the thread takes all there are. A post that
    // fails (a full queue) is tried again with the next event.
    if (!box.signalled) box.signalled = PostMessageA(box.window, kEventsWaiting, 0, 0) != FALSE;
}

// The oldest event, in the order they came.
std::optional<platform::WifiEvent> take(Mailbox& box) {
    const Locked locked;
    const std::optional<platform::WifiEvent> event = box.events.take();
    if (!event) box.signalled = false;
    return event;
}

// One client handle; closing it makes the system undo what was set through
// it, and returns only once no notification of it runs any more.
class ClientHandle {
public:
    explicit ClientHandle(const Api& api) : api_(api) {}
    ~ClientHandle() { reset(); }
    ClientHandle(const ClientHandle&) = delete;
    ClientHandle& operator=(const ClientHandle&) = delete;

    HANDLE get() const { return handle_; }
    void reset(HANDLE handle = nullptr) {
        if (handle_ != nullptr) api_.closeHandle(handle_, nullptr);
        handle_ = handle;
    }

private:
    const Api& api_;
    HANDLE handle_ = nullptr;
};

std::optional<platform::WifiEvent> eventOf(const WLAN_NOTIFICATION_DATA& data) {
    using Kind = platform::WifiEvent::Kind;
    if (data.NotificationSource != WLAN_NOTIFICATION_SOURCE_ACM) return std::nullopt;
    platform::WifiEvent event;
    event.id = idOf(data.InterfaceGuid);
    static constexpr std::pair<DWORD, Kind> kAcmEvents[] = {
        {wlan_notification_acm_connection_complete, Kind::Connected},
        {wlan_notification_acm_disconnected, Kind::Disconnected},
        {wlan_notification_acm_interface_arrival, Kind::Arrived},
        {wlan_notification_acm_interface_removal, Kind::Removed},
        {wlan_notification_acm_scan_complete, Kind::Scanned},
        {wlan_notification_acm_scan_fail, Kind::Scanned}};
    for (const auto& [code, kind] : kAcmEvents) {
        if (data.NotificationCode != code) continue;
        event.kind = kind;
        if (kind != Kind::Connected) return event;
        // A failed attempt is reported by the same notice; only its reason
        // code tells. One whose data cannot be read says nothing sure: the
        // interfaces are listed anew instead.
        constexpr size_t kReasonEnd =
            offsetof(WLAN_CONNECTION_NOTIFICATION_DATA, wlanReasonCode) + sizeof(WLAN_REASON_CODE);
        if (data.pData == nullptr || data.dwDataSize < kReasonEnd) {
            event.kind = Kind::Missed;
            return event;
        }
        WLAN_REASON_CODE reason = 0;
        std::memcpy(&reason,
                    static_cast<const char*>(data.pData) +
                        offsetof(WLAN_CONNECTION_NOTIFICATION_DATA, wlanReasonCode),
                    sizeof reason);
        event.reason = reason;
        return event;
    }
    return std::nullopt;
}

// Runs on a thread of the system's: it may only hand the news on.
void CALLBACK onNotification(PWLAN_NOTIFICATION_DATA data, PVOID context) {
    if (data == nullptr) return;
    if (const std::optional<platform::WifiEvent> event = eventOf(*data)) post(context, *event);
}

class Win32WifiSession : public platform::NativeWifiSession {
public:
    Win32WifiSession(std::shared_ptr<const Api> api, platform::NativeWifi::EventHandler onEvent)
        : api_(std::move(api)), onEvent_(std::move(onEvent)), client_(*api_) {
        if (onEvent_) {
            WindowOwner::RegisterPlainClass(kEventsClass);
            // It carries a notification from the system's thread to the
            // thread that opened the session.
            events_ = WindowOwner(
                kEventsClass, {},
                [this](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                    if (message != kEventsWaiting) return std::nullopt;
                    deliverWaiting();
                    return 0;
                },
                kEventsWaiting);
            if (!events_) fail("CreateWindowExA", "window for the notifications", GetLastError());
            mailbox_.window = events_.get();
        }
        DWORD negotiated = 0;
        HANDLE handle = nullptr;
        const DWORD opened = api_->openHandle(kClientVersion, nullptr, &negotiated, &handle);
        if (opened != ERROR_SUCCESS) fail("WlanOpenHandle", nullptr, opened);
        client_.reset(handle);
        if (onEvent_) {
            const DWORD registered =
                api_->registerNotification(client_.get(), kNotificationSources, TRUE,
                                           &onNotification, entry_.context(), nullptr, nullptr);
            if (registered != ERROR_SUCCESS)
                fail("WlanRegisterNotification", "interface events", registered);
            registered_ = true;
        }
    }

    ~Win32WifiSession() override {
        if (registered_)
            api_->registerNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_NONE, TRUE, nullptr,
                                       nullptr, nullptr, nullptr);
        // From here no notification reaches the mailbox, whatever the system
        // does with a handle whose service is gone.
        entry_.withdraw();
        client_.reset();
        events_.reset();
    }

    Win32WifiSession(const Win32WifiSession&) = delete;
    Win32WifiSession& operator=(const Win32WifiSession&) = delete;

    std::vector<platform::WifiInterface> interfaces() override {
        WLAN_INTERFACE_INFO_LIST* list = nullptr;
        const DWORD result = api_->enumInterfaces(client_.get(), nullptr, &list);
        const WlanMemory owned(*api_, list);
        if (result != ERROR_SUCCESS) fail("WlanEnumInterfaces", nullptr, result);
        std::vector<platform::WifiInterface> found;
        if (list == nullptr) return found;
        for (DWORD i = 0; i < list->dwNumberOfItems; ++i) {
            const WLAN_INTERFACE_INFO& info = list->InterfaceInfo[i];
            platform::WifiInterface wifi;
            wifi.id = idOf(info.InterfaceGuid);
            wifi.description =
                ansiOf(info.strInterfaceDescription, std::size(info.strInterfaceDescription));
            wifi.connected = info.isState == wlan_interface_state_connected;
            found.push_back(std::move(wifi));
        }
        return found;
    }

    void set(const platform::WifiInterfaceId& id, platform::WifiSetting setting, bool on) override {
        const GUID guid = guidOf(id);
        const Setting which = settingOf(setting);
        BOOL value = on ? TRUE : FALSE;
        const DWORD result =
            api_->setInterface(client_.get(), &guid, which.opcode, sizeof value, &value, nullptr);
        if (result != ERROR_SUCCESS) fail("WlanSetInterface", which.name, result);
    }

    bool query(const platform::WifiInterfaceId& id, platform::WifiSetting setting) override {
        const Setting which = settingOf(setting);
        BOOL value = FALSE;
        queryInto(id, which.opcode, which.name, &value, sizeof value);
        return value != FALSE;
    }

    std::int32_t rssi(const platform::WifiInterfaceId& id) override {
        LONG dBm = 0;
        queryInto(id, wlan_intf_opcode_rssi, "signal strength", &dBm, sizeof dBm);
        return static_cast<std::int32_t>(dBm);
    }

private:
    // Hands every notice waiting to the handler. One that lets go of the
    // session takes the window and the notices left with it; what it throws
    // it has reported itself.
    void deliverWaiting() {
        const std::weak_ptr<const void> alive = events_.alive();
        while (!alive.expired()) {
            const std::optional<platform::WifiEvent> event = take(mailbox_);
            if (!event) break;
            // Its own copy outlives the session.
            const platform::NativeWifi::EventHandler handler = onEvent_;
            try {
                handler(*event);
            } catch (...) {
            }
        }
    }

    // The first bytes of the answer to a query, which must hold that many.
    void queryInto(const platform::WifiInterfaceId& id, WLAN_INTF_OPCODE opcode, const char* name,
                   void* into, std::size_t bytes) {
        const GUID guid = guidOf(id);
        DWORD size = 0;
        void* data = nullptr;
        WLAN_OPCODE_VALUE_TYPE valueType{};
        const DWORD result =
            api_->queryInterface(client_.get(), &guid, opcode, nullptr, &size, &data, &valueType);
        const WlanMemory owned(*api_, data);
        if (result != ERROR_SUCCESS) fail("WlanQueryInterface", name, result);
        if (data == nullptr || size < bytes) fail("WlanQueryInterface", name, ERROR_INVALID_DATA);
        std::memcpy(into, data, bytes);
    }

    // Declared first, so the library stays loaded until the rest is gone.
    const std::shared_ptr<const Api> api_;
    const platform::NativeWifi::EventHandler onEvent_;
    Mailbox mailbox_;
    MailboxEntry entry_{mailbox_};
    // Destroyed after the client handle is closed: no notice comes after it.
    WindowOwner events_;
    ClientHandle client_;
    bool registered_ = false;
};

}  // namespace

std::string SystemWlanLibraryPath() { return SystemFolderPath("wlanapi.dll"); }

Win32NativeWifi::Win32NativeWifi(std::string libraryPath) : libraryPath_(std::move(libraryPath)) {}

Win32NativeWifi::~Win32NativeWifi() = default;

const std::shared_ptr<const Win32NativeWifi::Api>& Win32NativeWifi::api() {
    if (loadTried_) return api_;
    loadTried_ = true;
    if (libraryPath_.empty()) {
        loadError_ = ERROR_MOD_NOT_FOUND;
        return api_;
    }
    // A library whose own dependencies are missing is no reason for a
    // message box at start-up.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    LibraryHandle library(LoadLibraryAt(libraryPath_));
    loadError_ = library ? ERROR_SUCCESS : GetLastError();
    SetErrorMode(errorMode);
    if (!library) return api_;
    // Not make_shared: see WindowOwner.
    auto loaded = std::shared_ptr<Api>(new Api(std::move(library)));
    if (!loaded->resolve()) {
        loadError_ = ERROR_PROC_NOT_FOUND;
        return api_;
    }
    api_ = std::move(loaded);
    return api_;
}

bool Win32NativeWifi::available() { return api() != nullptr; }

std::unique_ptr<platform::NativeWifiSession> Win32NativeWifi::open(EventHandler onEvent) {
    const std::shared_ptr<const Api> wlan = api();
    if (!wlan) {
        throw wifiError("The library " + libraryPath_ + " cannot be used",
                        loadError_ == ERROR_PROC_NOT_FOUND ? "GetProcAddress" : "LoadLibraryExA",
                        loadError_);
    }
    return std::make_unique<Win32WifiSession>(wlan, std::move(onEvent));
}

}  // namespace platform::win32
