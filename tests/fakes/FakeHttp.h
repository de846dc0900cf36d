// HTTP answers scripted per URL; downloads land in the fake file system.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fakes/FakeFiles.h"
#include "platform/Http.h"
#include "platform/Signature.h"

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
        if (!files_.createProtectedFile(path, ""))
            throw platform::HttpFileError("cannot create " + path);
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

// A stand-in for the publisher's signature: the message itself behind a tag.
// Enough to tell the right message from any other; no crypto in the host tests.
class FakeSignatureCheck : public platform::SignatureCheck {
public:
    static std::string sign(const std::string& message) { return "signed:" + message; }
    bool verify(const std::vector<std::string_view>& message,
                const std::string& signature) override {
        std::string whole;
        for (const std::string_view part : message) whole += part;
        checked.push_back(whole);
        return available && signature == sign(whole);
    }
    // False: the system cannot check signatures at all.
    bool available = true;
    std::vector<std::string> checked;
};

}  // namespace fakes
