#include "update/UpdateResponse.h"

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
    return response;
}

bool IsNewerBuild(const std::string& build, std::int32_t programVersion) {
    // std::string compares its bytes as unsigned char, which is the ordinal order.
    return build > std::to_string(programVersion);
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
