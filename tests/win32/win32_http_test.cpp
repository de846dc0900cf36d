// GET through WinINet against a server of the test's own on loopback, which
// answers each connection with a scripted reply.
#include <gtest/gtest.h>
// winsock2.h may follow windows.h only because WIN32_LEAN_AND_MEAN keeps the
// old winsock.h out.
#include <windows.h>
#include <winsock2.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Http.h"
#include "win32/TestFiles.h"

namespace {

using platform::HttpError;
using platform::HttpFileError;
using platform::win32::HttpLimits;
using platform::win32::KernelHandle;
using platform::win32::Win32Http;

// Sent piece by piece, with a pause before every piece but the first; then
// the connection is closed.
struct Reply {
    std::vector<std::string> pieces;
    int pauseMs = 0;
};

Reply answer(const std::string& status, const std::string& headers, const std::string& body,
             size_t announcedLength) {
    std::string head = "HTTP/1.1 ";
    head += status;
    head += "\r\nContent-Length: ";
    head += std::to_string(announcedLength);
    head += "\r\nConnection: close\r\n";
    head += headers;
    head += "\r\n";
    head += body;
    return {{head}};
}
Reply ok(const std::string& body) { return answer("200 OK", "", body, body.size()); }

// Every byte value, several times over, so the body takes more than one read.
std::string allByteValues(int times) {
    std::string bytes;
    for (int i = 0; i < times * 256; ++i) bytes += static_cast<char>(i % 256);
    return bytes;
}

struct Winsock {
    Winsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock() { WSACleanup(); }
};

// A socket bound to a free port of loopback; address says which.
SOCKET boundToLoopback(sockaddr_in& address) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    return s;
}

std::string urlOf(const sockaddr_in& address, const std::string& path) {
    std::string url = "http://127.0.0.1:";
    url += std::to_string(ntohs(address.sin_port));
    url += path;
    return url;
}

class LoopbackServer {
public:
    LoopbackServer() : listener_(boundToLoopback(address_)) { listen(listener_, SOMAXCONN); }
    ~LoopbackServer() {
        join();
        closesocket(listener_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Answers the next connections with these replies, one each, in order.
    void serve(std::vector<Reply> replies) {
        replies_ = std::move(replies);
        thread_.reset(CreateThread(nullptr, 0, &run, this, 0, nullptr));
    }
    std::string url(const std::string& path) const { return urlOf(address_, path); }
    // The request heads as they came; ends the serving first.
    const std::vector<std::string>& requests() {
        join();
        return requests_;
    }

private:
    void join() {
        if (!thread_) return;
        SetEvent(stop_.get());
        if (WaitForSingleObject(thread_.get(), 15000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the server did not stop";
            TerminateThread(thread_.get(), 1);
        }
        thread_.reset();
    }
    bool stopping(int ms) { return WaitForSingleObject(stop_.get(), ms) == WAIT_OBJECT_0; }

    static DWORD WINAPI run(void* self) {
        static_cast<LoopbackServer*>(self)->serveAll();
        return 0;
    }
    void serveAll() {
        for (const Reply& reply : replies_) {
            SOCKET client = INVALID_SOCKET;
            // A client that never comes gives up the serving after 10 s.
            for (int waitedMs = 0; client == INVALID_SOCKET && waitedMs < 10000; waitedMs += 50) {
                if (stopping(0)) return;
                fd_set ready;
                FD_ZERO(&ready);
                FD_SET(listener_, &ready);
                timeval slice{0, 50 * 1000};
                if (select(0, &ready, nullptr, nullptr, &slice) == 1)
                    client = accept(listener_, nullptr, nullptr);
            }
            if (client == INVALID_SOCKET) return;
            const DWORD recvTimeoutMs = 5000;
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO,
                       reinterpret_cast<const char*>(&recvTimeoutMs), sizeof recvTimeoutMs);
            std::string head;
            char buffer[1024];
            int got = 0;
            while (head.find("\r\n\r\n") == std::string::npos &&
                   (got = recv(client, buffer, sizeof buffer, 0)) > 0)
                head.append(buffer, static_cast<size_t>(got));
            requests_.push_back(head);
            for (size_t i = 0; i < reply.pieces.size(); ++i) {
                if (i > 0 && stopping(reply.pauseMs)) break;
                const std::string& piece = reply.pieces[i];
                if (send(client, piece.data(), static_cast<int>(piece.size()), 0) < 0) break;
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    Winsock winsock_;
    sockaddr_in address_;
    SOCKET listener_;
    std::vector<Reply> replies_;
    std::vector<std::string> requests_;
    KernelHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle thread_;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Win32Http, BodyComesBackByteForByteAndTheRequestSaysWhoAsks) {
    std::string body = "line one\r\nline two \x80\xE4\xFF\r\n";
    body += allByteValues(80);
    LoopbackServer server;
    server.serve({ok(body)});
    EXPECT_EQ(Win32Http().fetch(server.url("/version.txt")), body);
    const std::vector<std::string>& requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& head = requests[0];
    EXPECT_TRUE(head.starts_with("GET /version.txt HTTP/1.1\r\n")) << head;
    EXPECT_TRUE(contains(head, "\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"))
        << head;
    EXPECT_TRUE(contains(head, "\r\nAccept: text/html, */*\r\n")) << head;
    EXPECT_EQ(head.find("Accept:"), head.rfind("Accept:")) << "one Accept header\n" << head;
}

// Cookies would go to and come from whatever host an answer names: neither
// the one a server sets nor any of the user's are ever sent.
TEST(Win32Http, RedirectIsFollowedWithoutTheCookieItSet) {
    LoopbackServer server;
    std::string moved = "Location: ";
    moved += server.url("/final");
    moved += "\r\nSet-Cookie: visit=42; path=/\r\n";
    server.serve({answer("302 Found", moved, "", 0), ok("the final body")});
    EXPECT_EQ(Win32Http().fetch(server.url("/first")), "the final body");
    const std::vector<std::string>& requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[1].starts_with("GET /final HTTP/1.1\r\n")) << requests[1];
    EXPECT_FALSE(contains(requests[1], "Cookie:")) << requests[1];
}

TEST(Win32Http, AddressesOtherThanHttpAreErrors) {
    for (const char* url : {"", "127.0.0.1/x", "ftp://127.0.0.1/x", "file:///c:/x", "http://"})
        EXPECT_THROW(Win32Http().fetch(url), HttpError) << '"' << url << '"';
}

class Win32HttpFile : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        path = std::string(temp) + "nolvara-http-" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override {
        DeleteFileA(path.c_str());
        DeleteFileA((path + "-system").c_str());
    }

    void write(const std::string& bytes) { ASSERT_TRUE(win32_tests::writeBytes(path, bytes)); }
    // Opening it for ourselves alone fails while anyone else still has it open.
    std::string readClosedFile() {
        const KernelHandle file(
            CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return "<missing or still open>";
        std::string bytes(1 << 20, '\0');
        DWORD read = 0;
        ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        return bytes;
    }

    platform::win32::Win32FileSystem files;
    std::string path;
};

TEST_F(Win32HttpFile, BodyGoesIntoANewFileNeverThroughAnExistingOneOrALink) {
    const std::string body = allByteValues(100);
    LoopbackServer server;
    server.serve({ok(body)});
    Win32Http().fetchToFile(server.url("/P_nolvara.exe"), path);
    EXPECT_EQ(readClosedFile(), body);

    // Someone else's file, or a hard link to a file of the system's: the
    // download refuses before it asks the server anything.
    EXPECT_THROW(Win32Http().fetchToFile("http://127.0.0.1:9/", path), HttpFileError);
    EXPECT_EQ(readClosedFile(), body);
    const std::string system = path + "-system";
    ASSERT_TRUE(win32_tests::writeBytes(system, "system file"));
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ASSERT_TRUE(CreateHardLinkA(path.c_str(), system.c_str(), nullptr));
    EXPECT_THROW(Win32Http().fetchToFile("http://127.0.0.1:9/", path), HttpFileError);
    EXPECT_EQ(readClosedFile(), "system file");
}

TEST_F(Win32HttpFile, ErrorStatusThrowsAndLeavesTheCreatedFileEmpty) {
    for (const char* status : {"404 Not Found", "500 Internal Server Error"}) {
        DeleteFileA(path.c_str());
        LoopbackServer server;
        const Reply page = answer(status, "", "<html>error page</html>", 23);
        server.serve({page, page});
        EXPECT_THROW(Win32Http().fetch(server.url("/")), HttpError) << status;
        EXPECT_THROW(Win32Http().fetchToFile(server.url("/"), path), HttpError) << status;
        EXPECT_EQ(readClosedFile(), "") << status;
    }
}

TEST_F(Win32HttpFile, ConnectionClosedMidBodyThrowsAndKeepsWhatArrived) {
    LoopbackServer server;
    const Reply broken = answer("200 OK", "", "first half", 20);
    server.serve({broken, broken});
    EXPECT_THROW(Win32Http().fetch(server.url("/")), HttpError);
    EXPECT_THROW(Win32Http().fetchToFile(server.url("/"), path), HttpError);
    EXPECT_EQ(readClosedFile(), "first half");
}

TEST_F(Win32HttpFile, FileInAMissingFolderIsAFileError) {
    // The file is made before any connection, so the port is never asked.
    EXPECT_THROW(Win32Http().fetchToFile("http://127.0.0.1:9/", path + "-missing\\file.exe"),
                 HttpFileError);
}

// Runs the thread's message loop until done() says so or ms have passed; the
// time it took.
DWORD pumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return GetTickCount() - start;
}

TEST(Win32HttpBeside, OutcomesArriveThroughTheMessageLoopWithinTheirBounds) {
    Win32Http http;
    LoopbackServer server;
    // The answer, a stalled one and one longer than allowed.
    Reply stalled = answer("200 OK", "", "a start", 100);
    stalled.pieces.push_back("late");
    stalled.pauseMs = 20000;
    server.serve({ok("#x#2.0#u#7#"), stalled});

    std::vector<platform::HttpOutcome> outcomes;
    const auto collect = [&](const platform::HttpOutcome& o) { outcomes.push_back(o); };
    DWORD start = GetTickCount();
    auto first = http.get(server.url("/update/"), {1000, 15000}, collect);
    EXPECT_LT(GetTickCount() - start, 200u) << "the caller's thread does not wait";
    EXPECT_TRUE(outcomes.empty()) << "nothing arrives outside the message loop";
    pumpUntil([&] { return !outcomes.empty(); }, 10000);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].result, platform::HttpOutcome::Result::Done);
    EXPECT_EQ(outcomes[0].body, "#x#2.0#u#7#");

    // A stalled server fails when the whole time is up, and the loop runs on.
    int otherEvents = 0;
    const UINT_PTR ticker = SetTimer(nullptr, 0, 100, nullptr);
    auto second = http.get(server.url("/update/"), {1000, 1500}, collect);
    const DWORD tookMs = pumpUntil(
        [&] {
            MSG msg;
            if (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.wParam == ticker)
                ++otherEvents;
            return outcomes.size() == 2;
        },
        10000);
    KillTimer(nullptr, ticker);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[1].result, platform::HttpOutcome::Result::Failed);
    EXPECT_GE(tookMs, 1400u);
    EXPECT_LT(tookMs, 3000u);
    EXPECT_GT(otherEvents, 5) << "the thread kept handling its events meanwhile";

    LoopbackServer other;
    other.serve({ok(std::string(5000, 'x'))});
    auto third = http.get(other.url("/update/"), {1000, 15000}, collect);
    pumpUntil([&] { return outcomes.size() == 3; }, 10000);
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[2].result, platform::HttpOutcome::Result::Failed) << "longer than allowed";
}

TEST(Win32HttpBeside, AnOutcomeHandlerThatThrowsStaysInsideTheEventWindow) {
    Win32Http http;
    LoopbackServer server;
    server.serve({ok("#x#"), ok("#y#")});
    bool handled = false;
    auto transfer = http.get(server.url("/update/"), {1000, 15000}, [&](const platform::HttpOutcome&) {
        handled = true;
        throw std::runtime_error("the program's handler failed");
    });
    pumpUntil([&] { return handled; }, 10000);
    EXPECT_TRUE(handled);
    // The loop goes on after it, and so does the next transfer.
    std::vector<platform::HttpOutcome> outcomes;
    auto next = http.get(server.url("/update/"), {1000, 15000},
                         [&](const platform::HttpOutcome& o) { outcomes.push_back(o); });
    // An end message that no worker posted names no transfer: nothing is read through it.
    PostMessageA(FindWindowExA(HWND_MESSAGE, nullptr, "NolvaraHttpEvents", nullptr), WM_APP + 1, 0,
                 reinterpret_cast<LPARAM>(&outcomes));
    pumpUntil([&] { return !outcomes.empty(); }, 10000);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].body, "#y#");
}

TEST_F(Win32HttpFile, AnAbandonedDownloadLeavesNoFileAndNoOutcome) {
    LoopbackServer server;
    Reply stalled = answer("200 OK", "", "MZ a start", 100000);
    stalled.pieces.push_back("late");
    stalled.pauseMs = 20000;
    server.serve({stalled});
    // The worker notices the stall within a second and lets go of the file.
    HttpLimits limits;
    limits.receiveMs = 1000;
    Win32Http http(limits);
    bool arrived = false;
    auto transfer = http.download(server.url("/P_nolvara.exe"), path, {1 << 20, 60000},
                                  [&](const platform::HttpOutcome&) { arrived = true; });
    pumpUntil([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000);
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the download began";
    pumpUntil([] { return false; }, 300);
    transfer.reset();
    pumpUntil([&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    pumpUntil([] { return false; }, 500);
    EXPECT_FALSE(arrived);
}

DWORD msToFail(Win32Http& http, const std::string& url) {
    const DWORD startedAt = GetTickCount();
    EXPECT_THROW(http.fetch(url), HttpError) << url;
    return GetTickCount() - startedAt;
}

TEST(Win32HttpBounds, ConnectionNotMadeFailsWithinTheConnectTimeout) {
    Winsock winsock;
    Win32Http http;
    sockaddr_in address;
    // A port whose listener is gone refuses at once.
    closesocket(boundToLoopback(address));
    const DWORD refusedMs = msToFail(http, urlOf(address, "/"));
    EXPECT_LT(refusedMs, 5000u);

    // A listener whose queue is full and that never accepts lets further
    // connection attempts go unanswered, like a host behind a dropping
    // firewall. The attempts that fill it must not wait themselves.
    SOCKET listener = boundToLoopback(address);
    listen(listener, 0);
    std::vector<SOCKET> queued;
    for (int i = 0; i < 4; ++i) {
        queued.push_back(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        ioctlsocket(queued.back(), FIONBIO, &nonBlocking);
        connect(queued.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    Sleep(200);
    const DWORD unansweredMs = msToFail(http, urlOf(address, "/"));
    EXPECT_LT(unansweredMs, 5000u);
    for (SOCKET s : queued) closesocket(s);
    closesocket(listener);
}

TEST(Win32HttpBounds, StalledOrEndlessAnswerFailsWithinItsLimit) {
    HttpLimits limits;
    limits.receiveMs = 1000;
    limits.transferMs = 2000;
    Win32Http http(limits);
    // The server holds back the rest for 10 s, well beyond every limit.
    Reply silent{{"", "HTTP/1.1 200 OK\r\n\r\nlate"}, 10000};
    Reply stalled = answer("200 OK", "", "a start", 100);
    stalled.pieces.push_back("late");
    stalled.pauseMs = 10000;
    // One byte every 200 ms: each in time, the whole too slow.
    Reply trickle = answer("200 OK", "", "", 100);
    trickle.pieces.resize(101, "x");
    trickle.pauseMs = 200;
    const struct {
        const char* name;
        Reply reply;
        DWORD limitMs;
    } cases[] = {{"silent", silent, 1000}, {"stalled", stalled, 1000}, {"trickle", trickle, 2000}};
    for (const auto& c : cases) {
        LoopbackServer server;
        server.serve({c.reply});
        const DWORD tookMs = msToFail(http, server.url("/"));
        EXPECT_GE(tookMs, c.limitMs - 100) << c.name;
        EXPECT_LT(tookMs, c.limitMs + 1500) << c.name;
    }
}

}  // namespace
