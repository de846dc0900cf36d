// HTTP GET through WinINet, the system's own HTTP client, which every Windows
// since XP has and which brings https with the system's certificates.
#pragma once

#include <windows.h>
// wininet.h needs the types of windows.h.
#include <wininet.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Http.h"
#include "platform/win32/MessageWindow.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

struct CloseInternetHandle {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = UniqueHandle<HINTERNET, CloseInternetHandle>;

// Every wait of a transfer has one of these bounds, so no call can hang.
struct HttpLimits {
    // For resolving the host name and connecting to the host, together;
    // once more for each redirect.
    int connectMs = 3000;
    // For each send of a request and each wait for more of the answer.
    int receiveMs = 10000;
    // For the whole transfer, however steadily a slow server keeps it coming.
    int transferMs = 10 * 60 * 1000;
    // The most the body may hold; a longer one is a failure.
    std::size_t maxBytes = static_cast<std::size_t>(-1);
};

// Each transfer opens a session of its own, connects directly (no proxy),
// follows redirects, takes cookies, never uses the cache and never shows a
// dialog or asks for credentials. Only http and https addresses are fetched.
//
// get() and download() run the transfer on a thread of their own and hand the
// outcome to the thread that asked, through a message-only window of that
// thread: the window's message loop delivers it as one more event. An outcome
// that is not there when the transfer's time is up is a failure, whatever the
// thread still waits for.
//
// fetch() and fetchToFile() are the same transfers with the caller's thread
// waiting. Not every WinINet keeps its own connect timeout: Wine's connects
// for as long as the system lets a connection attempt go on (over two
// minutes on Linux). So the request is made on a thread of its own, which the
// caller gives up on once a limit has passed without progress; that thread
// ends by itself when the system gives up the attempt.
class Win32Http : public platform::Http {
public:
    static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

    explicit Win32Http(HttpLimits limits = {}) : limits_(limits) {}
    ~Win32Http() override;
    Win32Http(const Win32Http&) = delete;
    Win32Http& operator=(const Win32Http&) = delete;

    std::unique_ptr<platform::HttpTransfer> get(const std::string& url, platform::HttpBounds bounds,
                                                Done done) override;
    std::unique_ptr<platform::HttpTransfer> download(const std::string& url,
                                                     const std::string& path,
                                                     platform::HttpBounds bounds,
                                                     Done done) override;

    // The body as text; HttpError on any failure.
    std::string fetch(const std::string& url);
    // HttpFileError when the file cannot be made anew, HttpError when the
    // transfer fails; a file that cannot be written to fails the transfer.
    void fetchToFile(const std::string& url, const std::string& path);

    struct Job;

private:
    using Sink = std::function<void(const char* bytes, DWORD count)>;
    // Hands the body to sink piece by piece as it arrives.
    void transfer(const std::string& url, const Sink& sink);
    std::unique_ptr<platform::HttpTransfer> start(const std::string& url, const std::string& path,
                                                  platform::HttpBounds bounds, Done done);
    HWND events();
    static std::optional<LRESULT> onEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HttpLimits limits_;
    WindowOwner events_;
};

}  // namespace platform::win32
