#include "platform/win32/Win32Http.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Files.h"

namespace platform::win32 {

namespace {

// Nothing from or into the cache: an update check must see the server's
// answer of now. No dialog of WinINet's own (certificate, credentials,
// redirect to or from https) may stop the program; a server that wants
// credentials gets none and its 401 is a failure like any other status.
// No cookies either: the user's own would go to whatever host an answer
// names, and that host's would be kept.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
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

// The call is named where one failed; a failure the transfer itself found
// (a status, a length, a bound) has no code and says none.
[[noreturn]] void fail(const std::string& url, const std::string& what, DWORD error,
                       const char* call = nullptr) {
    const std::string text = "GET " + url + ": " + what;
    if (error == 0) throw platform::HttpError(text + ".");
    throw Win32Error<platform::HttpError>(text, call, error);
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
        fail(url, "not a valid address", GetLastError(), "InternetCrackUrlA");
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
            // The name lookup and the connection share the one connect bound.
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
        if (!session) return failed("InternetOpenA", "WinINet cannot be opened");
        setLimits(session.get(), limits);
        // Progress is reported only for handles with a context.
        InternetSetStatusCallbackA(session.get(), &onProgress);
        const auto context = reinterpret_cast<DWORD_PTR>(this);
        connection.reset(InternetConnectA(session.get(), target.host.c_str(), target.port, nullptr,
                                          nullptr, INTERNET_SERVICE_HTTP, 0, context));
        if (!connection) return failed("InternetConnectA", "no connection");
        setLimits(connection.get(), limits);
        // The one Accept header; InternetOpenUrlA would add "*/*" of its own.
        const char* acceptTypes[] = {"text/html, */*", nullptr};
        request.reset(HttpOpenRequestA(
            connection.get(), "GET", target.object.c_str(), nullptr, nullptr, acceptTypes,
            kRequestFlags | (target.secure ? INTERNET_FLAG_SECURE : 0), context));
        if (!request) return failed("HttpOpenRequestA", "the request cannot be made");
        setLimits(request.get(), limits);
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
            return failed("HttpSendRequestA", "no answer");
    }
    void failed(const char* call, const char* what) {
        error = GetLastError();
        failedCall = call;
        failure = what;
    }

    const Target target;
    const HttpLimits limits;
    volatile LONG holders = 2;
    volatile LONG deadline = 0;
    const char* failedCall = nullptr;
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
        fail(url, "no thread for the request", error, "CreateThread");
    }
    const auto wholeLeftMs = [&] {
        return limits_.transferMs - static_cast<int>(GetTickCount() - startedAt);
    };
    for (;;) {
        const int leftMs = std::min(exchange->msLeft(), wholeLeftMs());
        if (leftMs <= 0) fail(url, "no connection or answer in time", 0);
        if (WaitForSingleObject(thread.get(), static_cast<DWORD>(leftMs)) == WAIT_OBJECT_0) break;
    }
    if (exchange->failure != nullptr)
        fail(url, exchange->failure, exchange->error, exchange->failedCall);
    HINTERNET request = exchange->request.get();

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        fail(url, "the answer has no status", GetLastError(), "HttpQueryInfoA");
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
    if (lengthKnown && announced > limits_.maxBytes) fail(url, "the answer is too long", 0);

    // A read asks only for what has arrived: InternetReadFile waits until its
    // buffer is full, which a slow server could stretch without end.
    std::array<char, kReadBufferBytes> buffer;
    unsigned long long received = 0;
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            fail(url, "the transfer broke off", GetLastError(), "InternetQueryDataAvailable");
        DWORD read = 0;
        if (available > 0 &&
            !InternetReadFile(request, buffer.data(), std::min(available, kReadBufferBytes), &read))
            fail(url, "the transfer broke off", GetLastError(), "InternetReadFile");
        if (read == 0) break;
        received += read;
        if (received > limits_.maxBytes) fail(url, "the answer is too long", 0);
        sink(buffer.data(), read);
        if (wholeLeftMs() <= 0) fail(url, "the transfer takes too long", 0);
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

std::string Win32Http::fetch(const std::string& url) {
    std::string body;
    transfer(url, [&body](const char* bytes, DWORD count) { body.append(bytes, count); });
    return body;
}

void Win32Http::fetchToFile(const std::string& url, const std::string& path) {
    // Leaving the scope closes the file, also when the transfer fails. Others
    // may delete it meanwhile: the thread that abandons a download does.
    const KernelHandle file = CreateProtectedFile(path, FILE_SHARE_DELETE);
    if (!file) {
        throw Win32Error<platform::HttpFileError>("The file " + path + " cannot be created",
                                                  "CreateFileA", GetLastError());
    }
    transfer(url, [&](const char* bytes, DWORD count) {
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes, count, &written, nullptr) || written != count) {
            std::string what = "the file ";
            what += path;
            what += " cannot be written";
            fail(url, what, GetLastError(), "WriteFile");
        }
    });
}

// ---- Transfers beside the caller's thread ----

namespace {

constexpr UINT kTransferEnded = WM_APP + 1;
constexpr const char* kEventsClass = "NolvaraHttpEvents";

}  // namespace

// One transfer, shared by its worker thread and the caller's thread. Whichever
// lets go of it last frees it. Everything but the outcome is touched by the
// caller's thread alone.
struct Win32Http::Job {
    HttpLimits limits;
    std::string url;
    std::string path;  // empty for a GET
    Done done;
    HWND events = nullptr;
    volatile LONG holders = 2;
    // Filled by the worker before it posts kTransferEnded.
    platform::HttpOutcome outcome;
    // Caller's side: the outcome was handed on, or the transfer given up.
    bool closed = false;

    static void release(Job* job) {
        if (InterlockedDecrement(&job->holders) == 0) delete job;
    }
    // Jobs whose end is yet to be told by the worker's message; the window
    // takes an end only for one of these, once: a message of that number
    // from anywhere else names nothing. The worker's thread takes one out
    // whose message could not be posted.
    struct Awaited {
        Awaited() { InitializeCriticalSection(&lock); }
        ~Awaited() { DeleteCriticalSection(&lock); }
        CRITICAL_SECTION lock;
        std::vector<Job*> jobs;
    };
    static Awaited& awaited() {
        static Awaited all;
        return all;
    }
    static bool claim(Job* job) {
        Awaited& all = awaited();
        EnterCriticalSection(&all.lock);
        const auto found = std::find(all.jobs.begin(), all.jobs.end(), job);
        const bool was = found != all.jobs.end();
        if (was) all.jobs.erase(found);
        LeaveCriticalSection(&all.lock);
        return was;
    }
    // Tells the caller's thread that the transfer ended, or lets go of it.
    static void postEnd(Job* job) {
        if (PostMessageA(job->events, kTransferEnded, 0, reinterpret_cast<LPARAM>(job))) return;
        claim(job);
        release(job);
    }
    // Jobs whose timer may still come: a WM_TIMER already queued when the
    // timer was killed must find nothing.
    static std::vector<Job*>& live() {
        static std::vector<Job*> jobs;
        return jobs;
    }
    void close() {
        closed = true;
        KillTimer(events, reinterpret_cast<UINT_PTR>(this));
        auto& jobs = live();
        jobs.erase(std::remove(jobs.begin(), jobs.end(), this), jobs.end());
    }
    void handOn(const platform::HttpOutcome& result) {
        close();
        if (done) done(result);
    }

    static DWORD WINAPI run(void* param) {
        auto* job = static_cast<Job*>(param);
        Win32Http http(job->limits);
        try {
            if (job->path.empty())
                job->outcome.body = http.fetch(job->url);
            else
                http.fetchToFile(job->url, job->path);
            job->outcome.result = platform::HttpOutcome::Result::Done;
        } catch (const platform::HttpFileError&) {
            job->outcome.result = platform::HttpOutcome::Result::FileNotCreated;
        } catch (const std::exception&) {
            job->outcome.result = platform::HttpOutcome::Result::Failed;
            job->outcome.body.clear();
        }
        postEnd(job);
        return 0;
    }
};

namespace {

class Win32Transfer : public platform::HttpTransfer {
public:
    explicit Win32Transfer(Win32Http::Job* job) : job_(job) {}
    ~Win32Transfer() override {
        if (!job_->closed) {
            job_->close();
            // Marked for deletion now, gone once the worker lets go of it.
            if (!job_->path.empty()) DeleteFileA(job_->path.c_str());
        }
        Win32Http::Job::release(job_);
    }
    Win32Transfer(const Win32Transfer&) = delete;
    Win32Transfer& operator=(const Win32Transfer&) = delete;

private:
    Win32Http::Job* job_;
};

}  // namespace

Win32Http::~Win32Http() = default;

HWND Win32Http::events() {
    if (!events_) {
        WindowOwner::RegisterPlainClass(kEventsClass);
        events_ = WindowOwner(kEventsClass, {}, &Win32Http::onEvent);
    }
    return events_.get();
}

std::optional<LRESULT> Win32Http::onEvent(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    // What the program does with an outcome runs here, as the window's
    // handler: what it throws the window's owner keeps from Windows. A hidden
    // run shows no message for it; its next check tries again.
    if (message == kTransferEnded) {
        auto* job = reinterpret_cast<Job*>(lParam);
        if (!Job::claim(job)) return 0;
        try {
            if (!job->closed) job->handOn(job->outcome);
        } catch (...) {
        }
        Job::release(job);
        return 0;
    }
    if (message == WM_TIMER) {
        auto& jobs = Job::live();
        const auto found = std::find(jobs.begin(), jobs.end(), reinterpret_cast<Job*>(wParam));
        // Time is up: a failure, whatever the worker still waits for.
        if (found != jobs.end()) (*found)->handOn({platform::HttpOutcome::Result::Failed, ""});
        return 0;
    }
    return std::nullopt;
}

std::unique_ptr<platform::HttpTransfer> Win32Http::start(const std::string& url,
                                                         const std::string& path,
                                                         platform::HttpBounds bounds, Done done) {
    auto* job = new Job;
    job->limits = limits_;
    job->limits.transferMs = std::min(limits_.transferMs, bounds.totalMs);
    job->limits.maxBytes = bounds.maxBytes;
    job->url = url;
    job->path = path;
    job->done = std::move(done);
    job->events = events();
    auto transfer = std::make_unique<Win32Transfer>(job);
    Job::live().push_back(job);
    {
        Job::Awaited& all = Job::awaited();
        EnterCriticalSection(&all.lock);
        all.jobs.push_back(job);
        LeaveCriticalSection(&all.lock);
    }
    // A little beyond the worker's own bound, which it keeps when it can.
    SetTimer(job->events, reinterpret_cast<UINT_PTR>(job),
             static_cast<UINT>(job->limits.transferMs) + 500, nullptr);
    const KernelHandle thread(CreateThread(nullptr, 0, &Job::run, job, 0, nullptr));
    if (!thread) {
        // No thread, no transfer: it fails as one that could not connect.
        job->outcome.result = platform::HttpOutcome::Result::Failed;
        Job::postEnd(job);
    }
    return transfer;
}

std::unique_ptr<platform::HttpTransfer> Win32Http::get(const std::string& url,
                                                       platform::HttpBounds bounds, Done done) {
    return start(url, std::string(), bounds, std::move(done));
}

std::unique_ptr<platform::HttpTransfer> Win32Http::download(const std::string& url,
                                                            const std::string& path,
                                                            platform::HttpBounds bounds,
                                                            Done done) {
    return start(url, path, bounds, std::move(done));
}

}  // namespace platform::win32
