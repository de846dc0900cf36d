#include "platform/CommandLine.h"

namespace platform {

namespace {
bool isSeparator(char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    const size_t n = commandLine.size();
    size_t pos = 0;
    while (true) {
        while (true) {
            while (pos < n && isSeparator(commandLine[pos])) ++pos;
            if (pos + 1 < n && commandLine[pos] == '"' && commandLine[pos + 1] == '"')
                pos += 2;
            else
                break;
        }
        if (pos >= n || commandLine[pos] == '\0') break;

        std::string arg;
        bool quoted = false;
        while (pos < n && commandLine[pos] != '\0' && (quoted || !isSeparator(commandLine[pos]))) {
            if (commandLine[pos] == '"')
                quoted = !quoted;
            else
                arg += commandLine[pos];
            ++pos;
        }
        args.push_back(arg);
    }
    return args;
}

std::string CommandLineOf(const std::string& file, const std::string& arguments) {
    std::string line = file.find(' ') == std::string::npos ? file : "\"" + file + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

std::string JoinArguments(const std::vector<std::string>& args, size_t first) {
    std::string line;
    for (size_t i = first; i < args.size(); ++i) {
        if (args[i].empty()) continue;
        if (!line.empty()) line += ' ';
        bool quote = false;
        for (char c : args[i]) quote = quote || isSeparator(c);
        line += quote ? '"' + args[i] + '"' : args[i];
    }
    return line;
}

}  // namespace platform
