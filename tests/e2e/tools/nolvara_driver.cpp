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

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
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
    "  send-queryendsession [logoff]  WM_QUERYENDSESSION then WM_ENDSESSION, print the answer\n"
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

BOOL CALLBACK findMainProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindMain*>(lp);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, kMainClass) == 0) {
        if (!f->found) f->found = hwnd;
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

// GetWindowText does not ask a window of another process for its text; a
// label's text is only available through WM_GETTEXT.
bool windowText(HWND hwnd, std::string& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length))
        return false;
    std::vector<char> buf(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
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

int run(std::vector<std::string> args) {
    if (args.empty()) return usage();
    const std::string cmd = args.front();
    args.erase(args.begin());

    if (cmd == "count") {
        if (!args.empty()) return usage();
        std::printf("%d\n", scanMain().count);
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
            std::fprintf(stderr, "nolvara_driver: %s: cannot read the text\n", cmd.c_str());
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
            windowText(hwnd, text);
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

    if (cmd == "send-queryendsession") {
        LPARAM reason = 0;  // a shutdown
        if (args.size() == 1 && args[0] == "logoff")
            reason = static_cast<LPARAM>(ENDSESSION_LOGOFF);
        else if (!args.empty())
            return usage();
        HWND main = requireMain();
        if (!main) return 1;
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &answer)) {
            std::fprintf(stderr, "nolvara_driver: WM_QUERYENDSESSION: no answer\n");
            return 1;
        }
        DWORD_PTR ignored = 0;
        // Windows follows the query with WM_ENDSESSION, saying whether the
        // session really ends: here it does exactly when the program agreed.
        SendMessageTimeoutA(main, WM_ENDSESSION, answer ? TRUE : FALSE, reason, SMTO_ABORTIFHUNG,
                            kSendTimeoutMs, &ignored);
        std::printf("%lu\n", static_cast<unsigned long>(answer));
        return 0;
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
