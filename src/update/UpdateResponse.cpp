#include "update/UpdateResponse.h"

#include <algorithm>
#include <utility>

#include "core/Convert.h"

namespace update {

std::string NextResponseField(std::string& rest) {
    const size_t open = rest.find('#');
    if (open == std::string::npos) {
        if (!rest.empty()) rest.erase(0, 1);
        return std::string();
    }
    rest.erase(0, open + 1);
    const size_t close = rest.find('#');
    if (close == std::string::npos) return std::string();
    std::string field = rest.substr(0, close);
    rest.erase(0, close);
    return field;
}

UpdateResponse ReadResponse(std::string body) {
    UpdateResponse response;
    response.mark = NextResponseField(body);
    response.versionText = NextResponseField(body);
    response.fileUrl = NextResponseField(body);
    response.build = NextResponseField(body);
    response.signature = NextResponseField(body);
    return response;
}

namespace {
bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}
}  // namespace

bool IsNewerBuild(const std::string& build, std::int32_t programVersion) {
    const std::string running = std::to_string(programVersion);
    if (allDigits(build) && allDigits(running)) {
        // Leading zeros aside, the longer number is the larger one; of equal
        // lengths the text order is the numeric order. No overflow, however
        // long the server's number.
        const std::string digits = build.substr(std::min(build.find_first_not_of('0'), build.size()));
        if (digits.size() != running.size()) return digits.size() > running.size();
        return digits > running;
    }
    // std::string compares its bytes as unsigned char, which is the ordinal order.
    return build > running;
}

namespace {
bool IsControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}
// What fits on the page's line behind "Update-Version:".
constexpr std::size_t kShownVersionChars = 40;
}  // namespace

bool IsSignableBuild(const std::string& build) {
    for (char c : build)
        if (IsControlCharacter(c)) return false;
    return true;
}

std::string ShownVersionText(const std::string& versionText) {
    std::string shown;
    for (char c : versionText) {
        if (shown.size() == kShownVersionChars) break;
        if (!IsControlCharacter(c)) shown += c;
    }
    return shown;
}

bool DecodeHex(const std::string& hex, std::string& bytes) {
    if (hex.empty() || hex.size() % 2 != 0) return false;
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = core::HexDigitValue(hex[i]);
        const int low = core::HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    bytes = std::move(out);
    return true;
}

namespace {
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    size_t at = 0;
    for (size_t found; (found = text.find(from, at)) != std::string::npos;
         at = found + from.size()) {
        out.append(text, at, found - at);
        out += to;
    }
    out.append(text, at, std::string::npos);
    return out;
}
}  // namespace

std::string EncodePathArgument(const std::string& path) { return replaceAll(path, " ", "\\:\\"); }

std::string DecodePathArgument(const std::string& argument) {
    return replaceAll(argument, "\\:\\", " ");
}

bool LooksLikeWindowsProgram(const std::string& head) {
    constexpr size_t kPointerAt = 0x3C;
    if (head.size() < kPointerAt + 4 || head.compare(0, 2, "MZ") != 0) return false;
    std::uint32_t pe = 0;
    for (int i = 3; i >= 0; --i) pe = (pe << 8) | static_cast<unsigned char>(head[kPointerAt + i]);
    return pe <= head.size() - 4 && head.compare(pe, 4, std::string("PE\0\0", 4)) == 0;
}

}  // namespace update
