#include "platform/win32/Win32NativeWifi.h"

// wlanapi.h needs the types of windows.h. Only its types are used: every
// function is looked up at run time.
#include <wlanapi.h>

#include <cstring>
#include <exception>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/MessageWindow.h"
#include "platform/win32/Win32DllSearch.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

namespace {

// Version 2 is the interface of Vista and later; XP's version 1 lacks the
// settings this is for.
constexpr DWORD kClientVersion = 2;

constexpr UINT kConnected = WM_APP + 1;
constexpr const char* kEventsClass = "NolvaraWifiEvents";

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

[[noreturn]] void fail(const char* call, const char* what, DWORD code) {
    std::string message = call;
    if (what != nullptr) {
        message += " (";
        message += what;
        message += ")";
    }
    message += " failed (error ";
    message += std::to_string(code);
    message += ").";
    throw platform::NativeWifiError(message, code);
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

// The window that carries a notification from the system's thread to the
// thread that opened the session; its user data is the session, or nothing
// once the session is going.
struct DestroyEventWindow {
    void operator()(HWND window) const {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        // A notification posted before the handle closed must find nothing,
        // not even a later window that happens to get the same handle value.
        MSG msg;
        while (PeekMessageA(&msg, window, kConnected, kConnected, PM_REMOVE)) {
        }
        DestroyWindow(window);
    }
};
using EventWindow = UniqueHandle<HWND, DestroyEventWindow>;

LRESULT CALLBACK eventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);


// Runs on a thread of the system's: it may only hand the news on.
void CALLBACK onNotification(PWLAN_NOTIFICATION_DATA data, PVOID context) {
    if (data != nullptr && data->NotificationSource == WLAN_NOTIFICATION_SOURCE_ACM &&
        data->NotificationCode == static_cast<DWORD>(wlan_notification_acm_connection_complete))
        PostMessageA(static_cast<HWND>(context), kConnected, 0, 0);
}

class Win32WifiSession : public platform::NativeWifiSession {
public:
    Win32WifiSession(std::shared_ptr<const Api> api, std::function<void()> onConnected)
        : api_(std::move(api)), onConnected_(std::move(onConnected)), client_(*api_) {
        if (onConnected_) {
            events_.reset(CreateMessageWindow(kEventsClass, &eventProc));
            if (!events_) fail("CreateWindowExA", "window for the notifications", GetLastError());
            SetWindowLongPtrA(events_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        DWORD negotiated = 0;
        HANDLE handle = nullptr;
        const DWORD opened = api_->openHandle(kClientVersion, nullptr, &negotiated, &handle);
        if (opened != ERROR_SUCCESS) fail("WlanOpenHandle", nullptr, opened);
        client_.reset(handle);
        if (onConnected_) {
            // The window, not this object, is what the system's thread gets:
            // a message to a window that is gone is lost harmlessly.
            const DWORD registered =
                api_->registerNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_ACM, TRUE,
                                           &onNotification, events_.get(), nullptr, nullptr);
            if (registered != ERROR_SUCCESS)
                fail("WlanRegisterNotification", "connections", registered);
            registered_ = true;
        }
    }

    ~Win32WifiSession() override {
        if (registered_)
            api_->registerNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_NONE, TRUE, nullptr,
                                       nullptr, nullptr, nullptr);
        // Closing waits for a notification that is running; only then can no
        // more be posted, and the window go.
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
        const GUID guid = guidOf(id);
        const Setting which = settingOf(setting);
        DWORD size = 0;
        void* data = nullptr;
        WLAN_OPCODE_VALUE_TYPE valueType{};
        const DWORD result = api_->queryInterface(client_.get(), &guid, which.opcode, nullptr,
                                                  &size, &data, &valueType);
        const WlanMemory owned(*api_, data);
        if (result != ERROR_SUCCESS) fail("WlanQueryInterface", which.name, result);
        if (data == nullptr || size < sizeof(BOOL))
            fail("WlanQueryInterface", which.name, ERROR_INVALID_DATA);
        BOOL value = FALSE;
        std::memcpy(&value, data, sizeof value);
        return value != FALSE;
    }

    void connected() {
        // The handler may let go of this session; its own copy outlives that.
        const std::function<void()> handler = onConnected_;
        try {
            handler();
        } catch (...) {
            // The handler reports its own failures; none may cross into the
            // system's dispatch of the message.
        }
    }

private:
    // Declared first, so the library stays loaded until the rest is gone.
    const std::shared_ptr<const Api> api_;
    const std::function<void()> onConnected_;
    EventWindow events_;
    ClientHandle client_;
    bool registered_ = false;
};

LRESULT CALLBACK eventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kConnected) return DefWindowProcA(window, message, wParam, lParam);
    auto* session = reinterpret_cast<Win32WifiSession*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (session != nullptr) session->connected();
    return 0;
}

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
    auto loaded = std::make_shared<Api>(std::move(library));
    if (!loaded->resolve()) {
        loadError_ = ERROR_PROC_NOT_FOUND;
        return api_;
    }
    api_ = std::move(loaded);
    return api_;
}

bool Win32NativeWifi::available() { return api() != nullptr; }

std::unique_ptr<platform::NativeWifiSession> Win32NativeWifi::open(
    std::function<void()> onConnected) {
    const std::shared_ptr<const Api> wlan = api();
    if (!wlan) {
        std::string message = "The library ";
        message += libraryPath_;
        message += " cannot be used (error ";
        message += std::to_string(loadError_);
        message += ").";
        throw platform::NativeWifiError(message, loadError_);
    }
    return std::make_unique<Win32WifiSession>(wlan, std::move(onConnected));
}

}  // namespace platform::win32
