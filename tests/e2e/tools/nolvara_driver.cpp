// Drives the running program from outside, as a person at the screen would:
// finds its main window and controls, reads their texts and clicks buttons.
// The end-to-end scenarios run it under Wine in the program's own prefix and
// display; it is a tool of the tests and never ships.
//
// Exit status: 0 the command did what it says (or the condition holds),
// 1 the condition does not hold, a wait timed out or the window is missing,
// 2 the command line is wrong.
#include <windows.h>
#include <commctrl.h>
// The echo functions are looked up at run time (see echoOnce); the headers
// give their types.
#include <iphlpapi.h>
#include <icmpapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kMainClass[] = "TF_nolvara";
// A message that gets no answer within this time means the program hangs;
// the scenarios then fail instead of waiting for ever.
constexpr UINT kSendTimeoutMs = 10000;
constexpr DWORD kPollMs = 50;

const char* const kUsage =
    "usage: nolvara_driver <command> [arguments]\n"
    "  count                          number of top-level windows of the main class\n"
    "  tray-icons                     number of icons in Wine's notification area window\n"
    "  tray-tip [--escaped]           the tooltip of the program's notification icon\n"
    "  wait-menu <ms>                 wait for an open popup menu, print its screen position \"x y\"\n"
    "  wait-window <ms>               wait for the main window, print its title\n"
    "  wait-visible <ms> [<id>]       wait until the main window (or control) is visible\n"
    "  wait-gone <ms>                 wait until no main window exists\n"
    "  is-visible [<id>]              print visible/hidden (main window or control)\n"
    "  title [--escaped]              main window title\n"
    "  class <id>                     window class of the control with that ID\n"
    "  text [--escaped] <id>          text of the control with that ID (WM_GETTEXT)\n"
    "  wait-text [--escaped] <id> <prefix> <ms>\n"
    "                                 wait until the text begins with prefix\n"
    "                                 (prefix understands \\r \\n \\t \\\\ \\xHH)\n"
    "  find <class> <caption>         print the ID of a descendant with that class and text\n"
    "  click [--post] <id>            BM_CLICK on the control (--post: do not wait)\n"
    "  status [--escaped] <part>      text of a status bar part\n"
    "  opacity                        layered-window alpha of the main window\n"
    "  wait-opacity <value> <ms>      wait until the alpha equals value\n"
    "  list                           every descendant: id class visible rect text\n"
    "  close                          post WM_CLOSE to the main window\n"
    "  tick <timer> <count>           deliver count ticks of the window's timer number\n"
    "                                 <timer> one after the other, print how many it took\n"
    "  send-queryendsession [logoff] [cancelled] [timed]\n"
    "                                 WM_QUERYENDSESSION then WM_ENDSESSION (FALSE when\n"
    "                                 cancelled), print the answer (and the ms it took)\n"
    "  responds <ms> [<id>]           print answers/no answer: does the main window (or\n"
    "                                 control) take a message within ms (exit 1 when not)\n"
    "  focus                          ID of the control with the keyboard focus (0: the main\n"
    "                                 window, none: no focus) and whether it is visible\n"
    "  set-text <id> <text>           WM_SETTEXT on the control (the program sees EN_CHANGE)\n"
    "  is-checked <id>...             print checked/unchecked per control (exit 1 unless all checked)\n"
    "  is-enabled <id>                print enabled/disabled (exit 1 when disabled)\n"
    "  items [--escaped] <id>         the lines of a list box or combo box, one per output line\n"
    "  selected <id>                  index of the selected list box or combo box line\n"
    "                                 (-1 for none)\n"
    "  select <id> <index>            select a list box or combo box line as a click does\n"
    "                                 (LBN_SELCHANGE, CBN_SELCHANGE)\n"
    "  reg-get [--escaped] <key> <value>\n"
    "                                 HKLM\\<key> value as TYPE|data (exit 1 when missing)\n"
    "  reg-values <key>               names of the values of HKLM\\<key> (exit 1 when missing)\n"
    "  reg-key-exists <key>           print exists/missing (exit 1 when missing)\n"
    "  dismiss-box [--escaped] <ms>   wait for a message box of the program, print its\n"
    "                                 title and text (two lines), press its OK button\n"
    "  ping <address> <ms>            one echo request as the program sends it (TTL 64):\n"
    "                                 print \"reply <rtt ms>\" or \"failed <error>\" (exit 1)\n"
    "  wireless                       print the WZCSVC \"Start\" value and service state,\n"
    "                                 e.g. \"4 stopped\" (\"missing\" for either)\n"
    "  wait-wireless <start> <state> <ms>\n"
    "                                 wait until both are so; print \"<ms waited> <ms since\n"
    "                                 the program's process started or -1> <start> <state>\"\n"
    "  hold-wireless <start> <state> <ms>\n"
    "                                 check that both stay so for ms; on the first change\n"
    "                                 print \"<ms> <start> <state>\" and exit 1\n"
    "  handles [<class>]              handle count of the process of the main window (or\n"
    "                                 of the first top-level window of that class)\n"
    "  wlan-reconnect                 drop and restore the link of the stand-in wlanapi.dll\n"
    "                                 (sets its event; exit 1 when no stand-in waits for it)\n"
    "  desktop-shell                  be the session's shell window (Explorer's), print\n"
    "                                 \"ready\", then run until ended\n"
    "--escaped prints CR, LF, TAB, backslash and bytes outside 0x20..0x7e as \\r \\n \\t \\\\ \\xHH.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Texts go out byte for byte: no LF to CR LF translation by the C runtime.
void put(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fputc('\n', stdout);
}

std::string escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            }
        }
    }
    return out;
}

bool unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            if (i + 2 >= s.size()) return false;
            std::string hex = s.substr(i + 1, 2);
            if (!std::isxdigit(static_cast<unsigned char>(hex[0])) ||
                !std::isxdigit(static_cast<unsigned char>(hex[1])))
                return false;
            out += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return true;
}

bool parseNumber(const char* text, long& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *end == '\0';
}

struct FindMain {
    HWND found = nullptr;
    int count = 0;
};

// With a hidden automatic-control run beside a window the user works in, the
// commands are meant for the visible one.
BOOL CALLBACK findMainProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindMain*>(lp);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, kMainClass) == 0) {
        if (!f->found || (!IsWindowVisible(f->found) && IsWindowVisible(hwnd))) f->found = hwnd;
        ++f->count;
    }
    return TRUE;
}

FindMain scanMain() {
    FindMain f;
    EnumWindows(findMainProc, reinterpret_cast<LPARAM>(&f));
    return f;
}

HWND mainWindow() { return scanMain().found; }

HWND requireMain() {
    HWND hwnd = mainWindow();
    if (!hwnd) std::fprintf(stderr, "nolvara_driver: no window of class %s\n", kMainClass);
    return hwnd;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::string className(HWND hwnd) {
    char cls[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
}

// Set once the program has let a message time out: it is busy or hung, and
// asking again would only add one timeout after another (a listing of every
// control would outlast the scenario's own bound and hide what happened).
bool g_unanswered = false;

// Under Wine a WM_GETTEXT or WM_GETTEXTLENGTH to a busy program waits past
// its timeout (the A-to-Unicode translation sends again without one), so a
// plain message goes first: it does time out.
bool sendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
    if (g_unanswered) return false;
    DWORD_PTR ignored = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) &&
        SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, result))
        return true;
    if (GetLastError() == ERROR_TIMEOUT) g_unanswered = true;
    return false;
}

// GetWindowText does not ask a window of another process for its text; a
// label's text is only available through WM_GETTEXT.
bool windowText(HWND hwnd, std::string& text) {
    DWORD_PTR length = 0;
    if (!sendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &length)) return false;
    std::vector<char> buf(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!sendTimed(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), &copied))
        return false;
    text.assign(buf.data(), copied);
    return true;
}

HWND findControl(HWND main, long id) {
    for (HWND hwnd : descendants(main))
        if (GetDlgCtrlID(hwnd) == id) return hwnd;
    return nullptr;
}

HWND controlById(HWND main, long id) {
    HWND hwnd = findControl(main, id);
    if (!hwnd) std::fprintf(stderr, "nolvara_driver: no control with ID %ld\n", id);
    return hwnd;
}

// Pops an optional leading flag off the arguments.
bool takeFlag(std::vector<std::string>& args, const char* flag) {
    if (!args.empty() && args.front() == flag) {
        args.erase(args.begin());
        return true;
    }
    return false;
}

template <typename Pred>
bool waitFor(long timeoutMs, Pred pred) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (static_cast<long>(GetTickCount() - start) >= timeoutMs) return false;
        Sleep(kPollMs);
    }
}

// A status bar keeps its part texts in its own process; SB_GETTEXT needs a
// buffer there, which is then copied out.
bool statusText(HWND bar, int part, std::string& text) {
    DWORD_PTR lengthInfo = 0;
    if (!SendMessageTimeoutA(bar, SB_GETTEXTLENGTHA, part, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &lengthInfo))
        return false;
    SIZE_T length = LOWORD(lengthInfo);
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    SIZE_T size = length + 1;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = false;
    if (remote) {
        DWORD_PTR result = 0;
        std::vector<char> buf(size, '\0');
        SIZE_T read = 0;
        if (SendMessageTimeoutA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote),
                                SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
            ReadProcessMemory(process, remote, buf.data(), size, &read) && read == size) {
            text.assign(buf.data(), std::min<SIZE_T>(LOWORD(result), length));
            ok = true;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

HWND statusBar(HWND main) {
    for (HWND hwnd : descendants(main))
        if (lstrcmpiA(className(hwnd).c_str(), STATUSCLASSNAMEA) == 0) return hwnd;
    std::fprintf(stderr, "nolvara_driver: no status bar\n");
    return nullptr;
}

bool opacity(HWND main, BYTE& alpha) {
    COLORREF key = 0;
    DWORD flags = 0;
    alpha = 0;
    if (!GetLayeredWindowAttributes(main, &key, &alpha, &flags)) return false;
    // Without LWA_ALPHA the window is drawn opaque whatever the stored value.
    if (!(flags & LWA_ALPHA)) alpha = 255;
    return true;
}

// The messages that read and select lines: list boxes and the lists of
// combo boxes answer the same questions under different message numbers.
struct LineMessages {
    UINT getCount, getTextLen, getText, setCurSel, getCurSel;
    LRESULT err;
};

LineMessages lineMessages(HWND control) {
    if (lstrcmpiA(className(control).c_str(), WC_COMBOBOXA) == 0)
        return {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_SETCURSEL, CB_GETCURSEL, CB_ERR};
    return {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_SETCURSEL, LB_GETCURSEL, LB_ERR};
}

// List box and combo box lines cross the process boundary as Unicode
// whichever variant of LB_GETTEXT (CB_GETLBTEXT) is sent (Wine hands the A
// variant's caller UTF-16), so they are asked for as such and turned back
// into the program's Windows-1252 bytes.
bool listItems(HWND list, std::vector<std::string>& items) {
    const LineMessages m = lineMessages(list);
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, m.getCount, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count) ||
        static_cast<LRESULT>(count) == m.err)
        return false;
    items.clear();
    for (WPARAM i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, m.getTextLen, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &length) ||
            static_cast<LRESULT>(length) == m.err)
            return false;
        std::vector<wchar_t> wide(length + 2, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(list, m.getText, i, reinterpret_cast<LPARAM>(wide.data()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied) ||
            static_cast<LRESULT>(copied) == m.err)
            return false;
        int chars = static_cast<int>(std::min<size_t>(copied, length));
        std::string line;
        if (chars > 0) {
            int bytes = WideCharToMultiByte(1252, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
            if (bytes <= 0) return false;
            line.resize(static_cast<size_t>(bytes));
            WideCharToMultiByte(1252, 0, wide.data(), chars, line.data(), bytes, nullptr, nullptr);
        }
        items.push_back(std::move(line));
    }
    return true;
}

// Keys are opened in the registry view of the program under test, which is
// built for the same architecture as this tool.
struct Key {
    HKEY handle = nullptr;
    LONG status = ERROR_SUCCESS;
    explicit Key(const std::string& path) {
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle);
        if (status != ERROR_SUCCESS) handle = nullptr;
    }
    ~Key() {
        if (handle) RegCloseKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
};

const char* typeName(DWORD type) {
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_UNKNOWN";
    }
}

// TYPE|data, so that one comparison checks both. A text is shown without its
// one terminating zero; a text stored without it, or a number of another
// size than 4 bytes, is marked in the type, so it cannot pass for a good one.
std::string formatValue(DWORD type, const std::vector<unsigned char>& data, bool escaped) {
    std::string kind = typeName(type);
    std::string shown;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        shown.assign(data.begin(), data.end());
        if (!shown.empty() && shown.back() == '\0')
            shown.pop_back();
        else
            kind += "(unterminated)";
        if (escaped) shown = escape(shown);
    } else if (type == REG_DWORD && data.size() == 4) {
        int32_t value = 0;
        std::memcpy(&value, data.data(), 4);
        shown = std::to_string(value);
    } else {
        kind += '(';
        kind += std::to_string(data.size());
        kind += " bytes)";
        shown = escape(std::string(data.begin(), data.end()));
    }
    return kind + "|" + shown;
}

struct FindBox {
    DWORD pid = 0;
    HWND found = nullptr;
};

// A message box is a top-level dialog of the program's own process.
HWND messageBox(DWORD pid) {
    FindBox f{pid, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<FindBox*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == f->pid && className(hwnd) == "#32770" && IsWindowVisible(hwnd)) {
                f->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}


// ---- The wireless service as the program sees it: its "Start" value and
// its state in the service manager, read together so that one poll of a
// wait sees both.

constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\WZCSVC";

std::string startValueText() {
    Key key(kServiceKey);
    if (!key.handle) return "missing";
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key.handle, "Start", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return "missing";
    if (type != REG_DWORD || size != sizeof value) return "not-a-dword";
    return std::to_string(value);
}

std::string serviceStateText() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return "no-manager";
    SC_HANDLE service = OpenServiceA(manager, "WZCSVC", SERVICE_QUERY_STATUS);
    std::string state = "missing";
    if (service) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) {
            state = "unreadable";
        } else {
            switch (status.dwCurrentState) {
            case SERVICE_STOPPED: state = "stopped"; break;
            case SERVICE_START_PENDING: state = "start-pending"; break;
            case SERVICE_STOP_PENDING: state = "stop-pending"; break;
            case SERVICE_RUNNING: state = "running"; break;
            case SERVICE_CONTINUE_PENDING: state = "continue-pending"; break;
            case SERVICE_PAUSE_PENDING: state = "pause-pending"; break;
            case SERVICE_PAUSED: state = "paused"; break;
            default: state = "unknown"; break;
            }
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return state;
}

ULONGLONG fileTimeMs(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return v.QuadPart / 10000;
}

ULONGLONG nowMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return fileTimeMs(now);
}

// When the process of the main window was created, in ms of the system
// clock; 0 when there is no main window or its times cannot be read. Timing
// a switch from the program's own start leaves out how long this tool and
// Wine took to start.
ULONGLONG programStartMs() {
    HWND main = mainWindow();
    if (!main) return 0;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    bool ok = GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
    CloseHandle(process);
    return ok ? fileTimeMs(created) : 0;
}

// One echo request through the system's ICMP service, as the program makes
// it, so a scenario can tell a fault of its test network from one of the
// program. iphlpapi is loaded here rather than linked: the tools link only
// the libraries every one of them needs.
int echoOnce(const std::string& address, DWORD timeoutMs) {
    // The address in network byte order, as inet_addr gives it (ws2_32 is
    // not linked either).
    unsigned a = 0, b = 0, c = 0, d = 0;
    char rest = 0;
    if (std::sscanf(address.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255)
        return usage();
    const IPAddr target = a | b << 8 | c << 16 | d << 24;
    HMODULE lib = LoadLibraryA("iphlpapi.dll");
    if (!lib) return 1;
    auto create = reinterpret_cast<decltype(&IcmpCreateFile)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "IcmpCreateFile")));
    auto send = reinterpret_cast<decltype(&IcmpSendEcho)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "IcmpSendEcho")));
    auto close = reinterpret_cast<decltype(&IcmpCloseHandle)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "IcmpCloseHandle")));
    int status = 1;
    HANDLE icmp = create && send && close ? create() : INVALID_HANDLE_VALUE;
    if (icmp == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "nolvara_driver: ping: no ICMP handle (error %lu)\n", GetLastError());
    } else {
        char payload[32] = "nolvara-e2e";
        std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 64);
        IP_OPTION_INFORMATION options{};
        options.Ttl = 64;
        SetLastError(ERROR_SUCCESS);
        DWORD count = send(icmp, target, payload, sizeof payload, &options,
                           reply.data(), static_cast<DWORD>(reply.size()), timeoutMs);
        DWORD error = GetLastError();
        const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
        if (count > 0 && echo->Status == IP_SUCCESS) {
            std::printf("reply %lu\n", echo->RoundTripTime);
            status = 0;
        } else {
            std::printf("failed %lu\n", count > 0 ? echo->Status : error);
        }
        close(icmp);
    }
    FreeLibrary(lib);
    return status;
}

// Open handles of one process, counted in the system's list of every handle
// (NtQuerySystemInformation, SystemHandleInformation). Wine answers
// GetProcessHandleCount for another process with an error and for its own
// with 0, and the count in its process list is the size of the handle table,
// which grows in powers of two; this list has one entry per open handle.
long handleCount(DWORD pid) {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "NtQuerySystemInformation") : nullptr));
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status = 0;
    for (int tries = 0; tries < 16; ++tries) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status != kInfoLengthMismatch) break;
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    }
    if (status != 0) return -1;
    ULONG total = 0;
    std::memcpy(&total, buffer.data(), sizeof total);
    // The entries follow the count at the alignment of a pointer.
    const size_t first = sizeof(void*);
    if (first + static_cast<size_t>(total) * sizeof(Entry) > buffer.size()) return -1;
    long count = 0;
    for (ULONG i = 0; i < total; ++i) {
        Entry entry{};
        std::memcpy(&entry, buffer.data() + first + i * sizeof(Entry), sizeof entry);
        if (entry.ownerPid == pid) ++count;
    }
    return count;
}

int run(std::vector<std::string> args) {
    if (args.empty()) return usage();
    const std::string cmd = args.front();
    args.erase(args.begin());

    if (cmd == "count") {
        if (!args.empty()) return usage();
        std::printf("%d\n", scanMain().count);
        return 0;
    }

    if (cmd == "tray-tip") {
        const bool escaped = takeFlag(args, "--escaped");
        if (!args.empty()) return usage();
        // The icon's window carries the tooltip as its text.
        HWND icon = FindWindowA("Nolvara.NotifyIcon", nullptr);
        std::string text;
        if (icon == nullptr || !windowText(icon, text)) return 1;
        put(escaped ? escape(text) : text);
        return 0;
    }

    if (cmd == "wait-menu") {
        long ms = 0;
        if (args.size() != 1 || !parseNumber(args[0].c_str(), ms)) return usage();
        HWND menu = nullptr;
        const bool met = waitFor(ms, [&] {
            menu = FindWindowA("#32768", nullptr);
            return menu != nullptr && IsWindowVisible(menu);
        });
        if (!met) return 1;
        RECT r{};
        GetWindowRect(menu, &r);
        std::printf("%ld %ld\n", r.left, r.top);
        return 0;
    }

    if (cmd == "tray-icons") {
        if (!args.empty()) return usage();
        // Wine's explorer keeps one child window per icon in this window.
        HWND tray = FindWindowA(nullptr, "Wine System Tray");
        int icons = 0;
        if (tray != nullptr)
            EnumChildWindows(
                tray, [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
                reinterpret_cast<LPARAM>(&icons));
        std::printf("%d\n", icons);
        return 0;
    }

    if (cmd == "wait-window" || cmd == "wait-visible" || cmd == "wait-gone") {
        long ms = 0, id = 0;
        bool ofControl = cmd == "wait-visible" && args.size() == 2;
        if ((args.size() != 1 && !ofControl) || !parseNumber(args[0].c_str(), ms) ||
            (ofControl && !parseNumber(args[1].c_str(), id)))
            return usage();
        HWND main = nullptr;
        bool met = waitFor(ms, [&] {
            main = mainWindow();
            if (cmd == "wait-gone") return main == nullptr;
            if (!main) return false;
            if (cmd == "wait-window") return true;
            HWND target = ofControl ? findControl(main, id) : main;
            return target && IsWindowVisible(target);
        });
        if (!met) {
            std::fprintf(stderr, "nolvara_driver: %s: timed out after %ld ms\n", cmd.c_str(), ms);
            return 1;
        }
        if (cmd == "wait-window") {
            std::string title;
            if (!windowText(main, title)) return 1;
            put(title);
        } else {
            put(cmd == "wait-gone" ? "gone" : "visible");
        }
        return 0;
    }

    if (cmd == "class") {
        long id = 0;
        if (args.size() != 1 || !parseNumber(args[0].c_str(), id)) return usage();
        HWND main = requireMain();
        HWND control = main ? controlById(main, id) : nullptr;
        if (!control) return 1;
        put(className(control));
        return 0;
    }

    if (cmd == "is-visible") {
        if (args.size() > 1) return usage();
        HWND main = requireMain();
        if (!main) return 1;
        HWND target = main;
        if (args.size() == 1) {
            long id = 0;
            if (!parseNumber(args[0].c_str(), id)) return usage();
            if (!(target = controlById(main, id))) return 1;
        }
        bool visible = IsWindowVisible(target);
        put(visible ? "visible" : "hidden");
        return visible ? 0 : 1;
    }

    if (cmd == "title" || cmd == "text" || cmd == "status") {
        bool escaped = takeFlag(args, "--escaped");
        long number = 0;
        if (cmd == "title" ? !args.empty()
                           : args.size() != 1 || !parseNumber(args[0].c_str(), number))
            return usage();
        HWND main = requireMain();
        if (!main) return 1;
        std::string text;
        bool ok = false;
        if (cmd == "title") {
            ok = windowText(main, text);
        } else if (cmd == "text") {
            HWND control = controlById(main, number);
            ok = control && windowText(control, text);
        } else {
            HWND bar = statusBar(main);
            ok = bar && statusText(bar, static_cast<int>(number), text);
        }
        if (!ok) {
            std::fprintf(stderr, "nolvara_driver: %s: cannot read the text%s\n", cmd.c_str(),
                         g_unanswered ? " (the program does not answer)" : "");
            return 1;
        }
        put(escaped ? escape(text) : text);
        return 0;
    }

    if (cmd == "wait-text") {
        bool escaped = takeFlag(args, "--escaped");
        long id = 0, ms = 0;
        std::string prefix;
        if (args.size() != 3 || !parseNumber(args[0].c_str(), id) || !unescape(args[1], prefix) ||
            !parseNumber(args[2].c_str(), ms))
            return usage();
        std::string text;
        bool met = waitFor(ms, [&] {
            HWND main = mainWindow();
            HWND control = main ? findControl(main, id) : nullptr;
            return control && windowText(control, text) && text.compare(0, prefix.size(), prefix) == 0;
        });
        put(escaped ? escape(text) : text);
        if (!met) {
            std::fprintf(stderr, "nolvara_driver: wait-text: %ld does not begin with \"%s\" after %ld ms\n",
                         id, escape(prefix).c_str(), ms);
            return 1;
        }
        return 0;
    }

    if (cmd == "find") {
        if (args.size() != 2) return usage();
        HWND main = requireMain();
        if (!main) return 1;
        for (HWND hwnd : descendants(main)) {
            std::string text;
            if (lstrcmpiA(className(hwnd).c_str(), args[0].c_str()) == 0 &&
                windowText(hwnd, text) && text == args[1]) {
                std::printf("%d\n", GetDlgCtrlID(hwnd));
                return 0;
            }
        }
        std::fprintf(stderr, "nolvara_driver: no %s \"%s\"\n", args[0].c_str(), args[1].c_str());
        return 1;
    }

    if (cmd == "click") {
        // A click whose handler opens a modal message box returns only when
        // the box is closed: --post leaves the program to it.
        bool posted = takeFlag(args, "--post");
        long id = 0;
        if (args.size() != 1 || !parseNumber(args[0].c_str(), id)) return usage();
        HWND main = requireMain();
        HWND control = main ? controlById(main, id) : nullptr;
        if (!control) return 1;
        if (!IsWindowEnabled(control) || !IsWindowVisible(control)) {
            std::fprintf(stderr, "nolvara_driver: control %ld is %s\n", id,
                         IsWindowEnabled(control) ? "hidden" : "disabled");
            return 1;
        }
        if (posted) return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
            std::fprintf(stderr, "nolvara_driver: click %ld: no answer\n", id);
            return 1;
        }
        return 0;
    }

    if (cmd == "opacity" || cmd == "wait-opacity") {
        long want = 0, ms = 0;
        if (cmd == "opacity" ? !args.empty()
                             : args.size() != 2 || !parseNumber(args[0].c_str(), want) ||
                                   !parseNumber(args[1].c_str(), ms))
            return usage();
        BYTE alpha = 0;
        bool readable = false;
        bool met = waitFor(ms, [&] {
            HWND main = mainWindow();
            readable = main && opacity(main, alpha);
            return readable && alpha == want;
        });
        if (!readable) {
            std::fprintf(stderr, "nolvara_driver: %s: the main window has no layered attributes\n",
                         cmd.c_str());
            return 1;
        }
        std::printf("%u\n", alpha);
        return cmd == "opacity" || met ? 0 : 1;
    }

    if (cmd == "list") {
        if (!args.empty()) return usage();
        HWND main = requireMain();
        if (!main) return 1;
        for (HWND hwnd : descendants(main)) {
            RECT r{};
            GetWindowRect(hwnd, &r);
            MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
            std::string text;
            if (!windowText(hwnd, text) && g_unanswered) text = "(no answer)";
            std::printf("%d %s %s %ld,%ld,%ld,%ld %s\n", GetDlgCtrlID(hwnd), className(hwnd).c_str(),
                        IsWindowVisible(hwnd) ? "visible" : "hidden", r.left, r.top,
                        r.right - r.left, r.bottom - r.top, escape(text).c_str());
        }
        return 0;
    }

    if (cmd == "close") {
        if (!args.empty()) return usage();
        HWND main = requireMain();
        return main && PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
    }

    // Time driven from outside: a timer's ticks without waiting for them, so
    // that what happens on a late tick of a long run can be seen at once.
    if (cmd == "tick") {
        long timer = 0, count = 0;
        if (args.size() != 2 || !parseNumber(args[0].c_str(), timer) ||
            !parseNumber(args[1].c_str(), count))
            return usage();
        HWND main = requireMain();
        if (!main) return 1;
        long delivered = 0;
        for (; delivered < count; ++delivered) {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(main, WM_TIMER, static_cast<WPARAM>(timer), 0,
                                     SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
                break;
        }
        put(std::to_string(delivered));
        return delivered == count ? 0 : 1;
    }

    if (cmd == "send-queryendsession") {
        LPARAM reason = 0;  // a shutdown
        bool cancelled = false, timed = false;
        for (const std::string& word : args) {
            if (word == "logoff")
                reason = static_cast<LPARAM>(ENDSESSION_LOGOFF);
            else if (word == "cancelled")
                cancelled = true;
            else if (word == "timed")
                timed = true;
            else
                return usage();
        }
        HWND main = requireMain();
        if (!main) return 1;
        DWORD_PTR answer = 0;
        const DWORD askedAt = GetTickCount();
        if (!SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &answer)) {
            std::fprintf(stderr, "nolvara_driver: WM_QUERYENDSESSION: no answer\n");
            return 1;
        }
        const DWORD tookMs = GetTickCount() - askedAt;
        DWORD_PTR ignored = 0;
        // Windows follows the query with WM_ENDSESSION, saying whether the
        // session really ends: here it does when the program agreed, unless
        // another program is to have cancelled it.
        SendMessageTimeoutA(main, WM_ENDSESSION, answer && !cancelled ? TRUE : FALSE, reason,
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        if (timed)
            std::printf("%lu %lu\n", static_cast<unsigned long>(answer),
                        static_cast<unsigned long>(tookMs));
        else
            std::printf("%lu\n", static_cast<unsigned long>(answer));
        return 0;
    }

    if (cmd == "responds") {
        long ms = 0, id = 0;
        if (args.empty() || args.size() > 2 || !parseNumber(args[0].c_str(), ms) ||
            (args.size() == 2 && !parseNumber(args[1].c_str(), id)))
            return usage();
        HWND main = requireMain();
        HWND target = main && args.size() == 2 ? controlById(main, id) : main;
        if (!target) return 1;
        DWORD_PTR result = 0;
        bool answers = SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                           static_cast<UINT>(ms), &result) != 0;
        put(answers ? "answers" : "no answer");
        return answers ? 0 : 1;
    }

    if (cmd == "focus") {
        if (!args.empty()) return usage();
        HWND main = requireMain();
        if (!main) return 1;
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return 1;
        if (!info.hwndFocus) {
            put("none");
            return 0;
        }
        std::printf("%d %s\n", info.hwndFocus == main ? 0 : GetDlgCtrlID(info.hwndFocus),
                    IsWindowVisible(info.hwndFocus) ? "visible" : "hidden");
        return 0;
    }

    if (cmd == "set-text") {
        long id = 0;
        if (args.size() != 2 || !parseNumber(args[0].c_str(), id)) return usage();
        HWND main = requireMain();
        HWND control = main ? controlById(main, id) : nullptr;
        if (!control) return 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1].c_str()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) ||
            !result) {
            std::fprintf(stderr, "nolvara_driver: set-text %ld: refused\n", id);
            return 1;
        }
        return 0;
    }

    if (cmd == "is-checked" || cmd == "is-enabled") {
        if (args.empty() || (cmd == "is-enabled" && args.size() != 1)) return usage();
        std::vector<long> ids;
        for (const std::string& arg : args) {
            long id = 0;
            if (!parseNumber(arg.c_str(), id)) return usage();
            ids.push_back(id);
        }
        HWND main = requireMain();
        if (!main) return 1;
        bool all = true;
        for (long id : ids) {
            HWND control = controlById(main, id);
            if (!control) return 1;
            bool on = false;
            if (cmd == "is-enabled") {
                on = IsWindowEnabled(control);
                put(on ? "enabled" : "disabled");
            } else {
                DWORD_PTR state = 0;
                if (!SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG,
                                         kSendTimeoutMs, &state))
                    return 1;
                on = state == BST_CHECKED;
                put(on ? "checked" : state == BST_UNCHECKED ? "unchecked" : "indeterminate");
            }
            all = all && on;
        }
        return all ? 0 : 1;
    }

    if (cmd == "items" || cmd == "selected" || cmd == "select") {
        bool escaped = cmd == "items" && takeFlag(args, "--escaped");
        long id = 0, index = 0;
        if (args.size() != (cmd == "select" ? 2u : 1u) || !parseNumber(args[0].c_str(), id) ||
            (cmd == "select" && !parseNumber(args[1].c_str(), index)))
            return usage();
        HWND main = requireMain();
        HWND list = main ? controlById(main, id) : nullptr;
        if (!list) return 1;
        if (cmd == "items") {
            std::vector<std::string> items;
            if (!listItems(list, items)) {
                std::fprintf(stderr, "nolvara_driver: items %ld: cannot read the list\n", id);
                return 1;
            }
            for (const std::string& item : items) put(escaped ? escape(item) : item);
            return 0;
        }
        const LineMessages m = lineMessages(list);
        DWORD_PTR result = 0;
        if (cmd == "select") {
            // LB_SETCURSEL (CB_SETCURSEL) sends no notification; a click
            // does, and the program follows the selection through it.
            // LBN_SELCHANGE and CBN_SELCHANGE are the same code.
            static_assert(LBN_SELCHANGE == CBN_SELCHANGE);
            if (!SendMessageTimeoutA(list, m.setCurSel, static_cast<WPARAM>(index), 0,
                                     SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) ||
                static_cast<LRESULT>(result) != index) {
                std::fprintf(stderr, "nolvara_driver: select %ld: no line %ld\n", id, index);
                return 1;
            }
            if (!SendMessageTimeoutA(GetParent(list), WM_COMMAND,
                                     MAKEWPARAM(static_cast<WORD>(id), LBN_SELCHANGE),
                                     reinterpret_cast<LPARAM>(list), SMTO_ABORTIFHUNG,
                                     kSendTimeoutMs, &result)) {
                std::fprintf(stderr, "nolvara_driver: select %ld: no answer\n", id);
                return 1;
            }
        }
        if (!SendMessageTimeoutA(list, m.getCurSel, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &result))
            return 1;
        long selected = static_cast<long>(static_cast<LRESULT>(result));
        if (cmd == "selected") {
            std::printf("%ld\n", selected);
            return 0;
        }
        if (selected != index) {
            std::fprintf(stderr, "nolvara_driver: select %ld: line %ld is selected instead of %ld\n",
                         id, selected, index);
            return 1;
        }
        return 0;
    }

    if (cmd == "reg-get" || cmd == "reg-values" || cmd == "reg-key-exists") {
        bool escaped = cmd == "reg-get" && takeFlag(args, "--escaped");
        if (args.size() != (cmd == "reg-get" ? 2u : 1u)) return usage();
        Key key(args[0]);
        if (cmd == "reg-key-exists") {
            put(key.handle ? "exists" : "missing");
            return key.handle ? 0 : 1;
        }
        if (!key.handle) {
            std::fprintf(stderr, "nolvara_driver: HKLM\\%s: cannot open (error %ld)\n",
                         args[0].c_str(), key.status);
            return 1;
        }
        if (cmd == "reg-values") {
            for (DWORD i = 0;; ++i) {
                char name[16384];
                DWORD length = sizeof name;
                LONG status = RegEnumValueA(key.handle, i, name, &length, nullptr, nullptr, nullptr,
                                            nullptr);
                if (status == ERROR_NO_MORE_ITEMS) return 0;
                if (status != ERROR_SUCCESS) {
                    std::fprintf(stderr, "nolvara_driver: reg-values: error %ld\n", status);
                    return 1;
                }
                put(std::string(name, length));
            }
        }
        DWORD type = 0, size = 0;
        LONG status = RegQueryValueExA(key.handle, args[1].c_str(), nullptr, &type, nullptr, &size);
        std::vector<unsigned char> data(size);
        if (status == ERROR_SUCCESS)
            status = RegQueryValueExA(key.handle, args[1].c_str(), nullptr, &type, data.data(), &size);
        if (status != ERROR_SUCCESS) {
            std::fprintf(stderr, "nolvara_driver: HKLM\\%s value \"%s\": missing (error %ld)\n",
                         args[0].c_str(), args[1].c_str(), status);
            return 1;
        }
        data.resize(size);
        put(formatValue(type, data, escaped));
        return 0;
    }

    if (cmd == "dismiss-box") {
        bool escaped = takeFlag(args, "--escaped");
        long ms = 0;
        if (args.size() != 1 || !parseNumber(args[0].c_str(), ms)) return usage();
        HWND main = requireMain();
        if (!main) return 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        DWORD start = GetTickCount();
        HWND box = nullptr;
        if (!waitFor(ms, [&] { return (box = messageBox(pid)) != nullptr; })) {
            std::fprintf(stderr, "nolvara_driver: dismiss-box: no message box after %ld ms\n", ms);
            return 1;
        }
        // The box's text is the static control the system numbers 0xFFFF.
        std::string title, text;
        HWND label = GetDlgItem(box, 0xFFFF);
        HWND ok = GetDlgItem(box, IDOK);
        if (!windowText(box, title) || !label || !windowText(label, text) || !ok) {
            std::fprintf(stderr, "nolvara_driver: dismiss-box: not a message box with an OK button\n");
            return 1;
        }
        put(escaped ? escape(title) : title);
        put(escaped ? escape(text) : text);
        std::fflush(stdout);
        // Posted as the button would: the box ends its own modal loop.
        if (!PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok)))
            return 1;
        long left = std::max<long>(ms - static_cast<long>(GetTickCount() - start), 1000);
        if (!waitFor(left, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
            std::fprintf(stderr, "nolvara_driver: dismiss-box: the box stays after OK\n");
            return 1;
        }
        return 0;
    }

    if (cmd == "ping") {
        long ms = 0;
        if (args.size() != 2 || !parseNumber(args[1].c_str(), ms) || ms <= 0) return usage();
        return echoOnce(args[0], static_cast<DWORD>(ms));
    }

    if (cmd == "wireless") {
        if (!args.empty()) return usage();
        std::printf("%s %s\n", startValueText().c_str(), serviceStateText().c_str());
        return 0;
    }

    if (cmd == "wait-wireless" || cmd == "hold-wireless") {
        long ms = 0;
        if (args.size() != 3 || !parseNumber(args[2].c_str(), ms)) return usage();
        const bool hold = cmd == "hold-wireless";
        const ULONGLONG started = nowMs();
        std::string start, state;
        bool met = waitFor(ms, [&] {
            start = startValueText();
            state = serviceStateText();
            bool as = start == args[0] && state == args[1];
            return hold ? !as : as;
        });
        const ULONGLONG seen = nowMs();
        if (hold) {
            if (!met) return 0;
            std::printf("%llu %s %s\n", seen - started, start.c_str(), state.c_str());
            return 1;
        }
        const ULONGLONG program = programStartMs();
        std::printf("%llu %lld %s %s\n", seen - started,
                    program ? static_cast<long long>(seen - program) : -1LL, start.c_str(),
                    state.c_str());
        return met ? 0 : 1;
    }

    if (cmd == "handles") {
        if (args.size() > 1) return usage();
        HWND main = args.empty() ? requireMain() : FindWindowA(args[0].c_str(), nullptr);
        if (!main) return 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        long count = handleCount(pid);
        if (count < 0) {
            std::fprintf(stderr, "nolvara_driver: handles: the system's handle list cannot be read\n");
            return 1;
        }
        std::printf("%ld\n", count);
        return 0;
    }

    if (cmd == "desktop-shell") {
        if (!args.empty()) return usage();
        // Wine's own desktop is no shell window: GetShellWindow finds none.
        using SetShell = BOOL(WINAPI*)(HWND);
        const auto setShell = reinterpret_cast<SetShell>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
        const HWND shell = CreateWindowExA(0, "STATIC", "Program Manager", WS_POPUP, 0, 0, 0, 0,
                                           nullptr, nullptr, nullptr, nullptr);
        if (setShell == nullptr || shell == nullptr || !setShell(shell) ||
            GetShellWindow() != shell) {
            std::fprintf(stderr, "nolvara_driver: desktop-shell: no shell window could be set\n");
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        return 0;
    }

    if (cmd == "wlan-reconnect") {
        if (!args.empty()) return usage();
        // The stand-in makes the event when a client registers for notifications.
        const HANDLE reconnect =
            OpenEventA(EVENT_MODIFY_STATE, FALSE, "NolvaraWlanStandIn.Reconnect");
        if (!reconnect) {
            std::fprintf(stderr, "nolvara_driver: wlan-reconnect: no stand-in has made the event\n");
            return 1;
        }
        const BOOL set = SetEvent(reconnect);
        CloseHandle(reconnect);
        return set ? 0 : 1;
    }

    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args(argv + 1, argv + argc);
    int status = run(args);
    std::fflush(stdout);
    return status;
}
