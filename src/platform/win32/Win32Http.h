// HTTP GET through WinINet, the system's own HTTP client, which every Windows
// since XP has and which brings https with the system's certificates.
#pragma once

#include <windows.h>
// wininet.h needs the types of windows.h.
#include <wininet.h>

#include <functional>
#include <string>

#include "platform/Http.h"
#include "platform/win32/UniqueHandle.h"

namespace platform::win32 {

struct CloseInternetHandle {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = UniqueHandle<HINTERNET, CloseInternetHandle>;

// Every wait of a transfer has one of these bounds, so no call can hang.
struct HttpLimits {
    // For resolving the host name, and again for connecting to the host;
    // once more for each redirect.
    int connectMs = 3000;
    // For each send of a request and each wait for more of the answer.
    int receiveMs = 10000;
    // For the whole body, however steadily a slow server keeps it coming.
    int transferMs = 10 * 60 * 1000;
};

// Each call opens a session of its own, connects directly (no proxy), follows
// redirects, takes cookies, never uses the cache and never shows a dialog or
// asks for credentials. Only http and https addresses are fetched.
//
// The caller's thread waits for the whole transfer. Not every WinINet keeps
// its own connect timeout: Wine's connects for as long as the system lets a
// connection attempt go on (over two minutes on Linux). So the request is
// made on a thread of its own, which the caller gives up on once a limit has
// passed without progress; that thread ends by itself when the system gives
// up the attempt.
class Win32Http : public platform::Http {
public:
    static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

    explicit Win32Http(HttpLimits limits = {}) : limits_(limits) {}

    std::string get(const std::string& url) override;
    // A file that cannot be written to once created fails the transfer
    // (HttpError) like a broken connection does.
    void getToFile(const std::string& url, const std::string& path) override;

private:
    using Sink = std::function<void(const char* bytes, DWORD count)>;
    // Hands the body to sink piece by piece as it arrives.
    void transfer(const std::string& url, const Sink& sink);

    HttpLimits limits_;
};

}  // namespace platform::win32
