#include "platform/win32/Win32Http.h"

#include "platform/win32/Win32Files.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace platform::win32 {

namespace {

// Nothing from or into the cache: an update check must see the server's
// answer of now. No dialog of WinINet's own (certificate, credentials,
// redirect to or from https) may stop the program; a server that wants
// credentials gets none and its 401 is a failure like any other status.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

constexpr DWORD kReadBufferBytes = 16 * 1024;

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

[[noreturn]] void fail(const std::string& url, const std::string& what, DWORD error) {
    std::string message = "GET ";
    message += url;
    message += ": ";
    message += what;
    if (error != 0) {
        message += " (error ";
        message += std::to_string(error);
        message += ")";
    }
    message += ".";
    throw platform::HttpError(message);
}

struct Target {
    std::string host;
    INTERNET_PORT port = 0;
    bool secure = false;
    // The path and the query.
    std::string object;
};

Target targetOf(const std::string& url) {
    if (!startsWithNoCase(url, "http://") && !startsWithNoCase(url, "https://"))
        fail(url, "not an http or https address", 0);
    // No part can be longer than the whole address.
    std::string host(url.size() + 1, '\0');
    std::string path(url.size() + 1, '\0');
    std::string extra(url.size() + 1, '\0');
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0)
        fail(url, "not a valid address", GetLastError());
    host.resize(parts.dwHostNameLength);
    path.resize(parts.dwUrlPathLength);
    // The query goes to the server, a fragment never does.
    extra.resize(parts.dwExtraInfoLength);
    extra.resize(std::min(extra.size(), extra.find('#')));
    Target target;
    target.host = host;
    target.port = parts.nPort;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.object = path.empty() ? "/" : path;
    target.object += extra;
    return target;
}

void setTimeout(HINTERNET handle, DWORD option, int ms) {
    DWORD value = static_cast<DWORD>(std::max(ms, 1));
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// WinINet versions differ in which handle they take each option from, so
// every handle of a request gets them all.
void setLimits(HINTERNET handle, const HttpLimits& limits) {
    setTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectMs);
    // One attempt per connection, or a host that drops connection attempts
    // would cost the connect timeout several times over.
    DWORD retries = 1;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    setTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, limits.receiveMs);
    setTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveMs);
}

// The request up to the head of the answer, made on a thread of its own; the
// caller waits for it only as long as the thread keeps reporting progress in
// time. Whichever of the two lets go of it last frees it.
struct Exchange {
    Exchange(Target to, const HttpLimits& within) : target(std::move(to)), limits(within) {
        extendBy(limits.connectMs);
    }

    // Moves the point in time by which the next progress is due.
    void extendBy(int ms) {
        InterlockedExchange(&deadline, static_cast<LONG>(GetTickCount() + ms));
    }
    // Negative once the deadline has passed; the tick count wraps every 49 days.
    int msLeft() const { return static_cast<int>(static_cast<DWORD>(deadline) - GetTickCount()); }

    static void CALLBACK onProgress(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
        auto* self = reinterpret_cast<Exchange*>(context);
        switch (status) {
            case INTERNET_STATUS_RESOLVING_NAME:
            case INTERNET_STATUS_CONNECTING_TO_SERVER:
                self->extendBy(self->limits.connectMs);
                break;
            case INTERNET_STATUS_CONNECTED_TO_SERVER:
            case INTERNET_STATUS_SENDING_REQUEST:
            case INTERNET_STATUS_REQUEST_SENT:
            case INTERNET_STATUS_RECEIVING_RESPONSE:
            case INTERNET_STATUS_RESPONSE_RECEIVED:
            case INTERNET_STATUS_REDIRECT:
                self->extendBy(self->limits.receiveMs);
                break;
            default:
                break;
        }
    }

    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<Exchange*>(param);
        self->open();
        release(self);
        return 0;
    }
    static void release(Exchange* self) {
        if (InterlockedDecrement(&self->holders) == 0) delete self;
    }

    void open() {
        session.reset(
            InternetOpenA(Win32Http::kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        if (!session) return failed("WinINet cannot be opened");
        setLimits(session.get(), limits);
        // Progress is reported only for handles with a context.
        InternetSetStatusCallbackA(session.get(), &onProgress);
        const auto context = reinterpret_cast<DWORD_PTR>(this);
        connection.reset(InternetConnectA(session.get(), target.host.c_str(), target.port, nullptr,
                                          nullptr, INTERNET_SERVICE_HTTP, 0, context));
        if (!connection) return failed("no connection");
        setLimits(connection.get(), limits);
        // The one Accept header; InternetOpenUrlA would add "*/*" of its own.
        const char* acceptTypes[] = {"text/html, */*", nullptr};
        request.reset(HttpOpenRequestA(
            connection.get(), "GET", target.object.c_str(), nullptr, nullptr, acceptTypes,
            kRequestFlags | (target.secure ? INTERNET_FLAG_SECURE : 0), context));
        if (!request) return failed("the request cannot be made");
        setLimits(request.get(), limits);
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return failed("no answer");
    }
    void failed(const char* what) {
        error = GetLastError();
        failure = what;
    }

    const Target target;
    const HttpLimits limits;
    volatile LONG holders = 2;
    volatile LONG deadline = 0;
    const char* failure = nullptr;
    DWORD error = 0;
    // Last, so that they are closed while the rest is still there for the
    // progress they report on closing.
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
};

struct ReleaseExchange {
    void operator()(Exchange* exchange) const { Exchange::release(exchange); }
};

}  // namespace

void Win32Http::transfer(const std::string& url, const Sink& sink) {
    const DWORD startedAt = GetTickCount();
    const std::unique_ptr<Exchange, ReleaseExchange> exchange(new Exchange(targetOf(url), limits_));
    const KernelHandle thread(CreateThread(nullptr, 0, &Exchange::run, exchange.get(), 0, nullptr));
    if (!thread) {
        const DWORD error = GetLastError();
        Exchange::release(exchange.get());
        fail(url, "no thread for the request", error);
    }
    for (;;) {
        const int leftMs = exchange->msLeft();
        if (leftMs <= 0) fail(url, "no connection or answer in time", 0);
        if (WaitForSingleObject(thread.get(), static_cast<DWORD>(leftMs)) == WAIT_OBJECT_0) break;
    }
    if (exchange->failure != nullptr) fail(url, exchange->failure, exchange->error);
    HINTERNET request = exchange->request.get();

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        fail(url, "the answer has no status", GetLastError());
    if (status >= 400) {
        std::string what = "the server answered status ";
        what += std::to_string(status);
        fail(url, what, 0);
    }

    // WinINet ends the body without an error when the connection closes
    // early; only the length the server announced tells a broken transfer.
    DWORD announced = 0;
    size = sizeof announced;
    const bool lengthKnown =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                       &size, nullptr) != 0;

    // A read asks only for what has arrived: InternetReadFile waits until its
    // buffer is full, which a slow server could stretch without end.
    std::array<char, kReadBufferBytes> buffer;
    unsigned long long received = 0;
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            fail(url, "the transfer broke off", GetLastError());
        DWORD read = 0;
        if (available > 0 &&
            !InternetReadFile(request, buffer.data(), std::min(available, kReadBufferBytes), &read))
            fail(url, "the transfer broke off", GetLastError());
        if (read == 0) break;
        sink(buffer.data(), read);
        received += read;
        if (GetTickCount() - startedAt > static_cast<DWORD>(limits_.transferMs))
            fail(url, "the transfer takes too long", 0);
    }
    if (lengthKnown && received < announced) {
        std::string what = "the transfer ended after ";
        what += std::to_string(received);
        what += " of ";
        what += std::to_string(announced);
        what += " bytes";
        fail(url, what, 0);
    }
}

std::string Win32Http::get(const std::string& url) {
    std::string body;
    transfer(url, [&body](const char* bytes, DWORD count) { body.append(bytes, count); });
    return body;
}

void Win32Http::getToFile(const std::string& url, const std::string& path) {
    // Leaving the scope closes the file, also when the transfer fails.
    const KernelHandle file = CreateProtectedFile(path);
    if (!file) {
        std::string message = "The file ";
        message += path;
        message += " cannot be created (error ";
        message += std::to_string(GetLastError());
        message += ").";
        throw platform::HttpFileError(message);
    }
    transfer(url, [&](const char* bytes, DWORD count) {
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes, count, &written, nullptr) || written != count) {
            std::string what = "the file ";
            what += path;
            what += " cannot be written";
            fail(url, what, GetLastError());
        }
    });
}

}  // namespace platform::win32
