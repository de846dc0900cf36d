// HTTP answers scripted per URL; downloads land in the fake file system.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fakes/FakeFiles.h"
#include "platform/Http.h"

namespace fakes {

class FakeHttp : public platform::Http {
public:
    explicit FakeHttp(FakeFileSystem& files) : files_(files) {}

    struct Answer {
        std::string body;
        // The transfer fails after the body so far (an error status, a broken
        // connection); with an empty body, before anything arrived.
        bool fails = false;
    };
    // A URL without an answer cannot be reached.
    std::map<std::string, Answer> answers;
    std::vector<std::string> requests;

    std::string get(const std::string& url) override { return answerFor(url).body; }
    void getToFile(const std::string& url, const std::string& path) override {
        if (!files_.writeFile(path, "")) throw platform::HttpFileError("cannot create " + path);
        requests.push_back(url);
        const auto it = answers.find(url);
        if (it == answers.end()) throw platform::HttpError("cannot reach " + url);
        files_.writeFile(path, it->second.body);
        if (it->second.fails) throw platform::HttpError("transfer of " + url + " failed");
    }

private:
    const Answer& answerFor(const std::string& url) {
        requests.push_back(url);
        const auto it = answers.find(url);
        if (it == answers.end() || it->second.fails)
            throw platform::HttpError("cannot reach " + url);
        return it->second;
    }
    FakeFileSystem& files_;
};

}  // namespace fakes
