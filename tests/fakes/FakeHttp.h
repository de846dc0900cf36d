// HTTP answers scripted per URL; downloads land in the fake file system.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fakes/FakeFiles.h"
#include "platform/Http.h"
#include "platform/Signature.h"

namespace fakes {

class VirtualClock;

// Transfers end as events of the virtual clock's loop, each after the delay
// its answer asks for; a stalled one never ends.
class FakeHttp : public platform::Http {
public:
    FakeHttp(FakeFileSystem& files, VirtualClock& clock) : files_(files), clock_(clock) {}

    struct Answer {
        std::string body;
        // The transfer fails after the body so far (an error status, a broken
        // connection); with an empty body, before anything arrived.
        bool fails = false;
        int delayMs = 0;
        bool stalls = false;
    };
    // A URL without an answer cannot be reached.
    std::map<std::string, Answer> answers;
    std::vector<std::string> requests;
    std::vector<platform::HttpBounds> bounds;
    // Transfers the program let go of before they ended.
    int abandoned = 0;

    std::unique_ptr<platform::HttpTransfer> get(const std::string& url, platform::HttpBounds bounds,
                                                Done done) override;
    std::unique_ptr<platform::HttpTransfer> download(const std::string& url,
                                                     const std::string& path,
                                                     platform::HttpBounds bounds,
                                                     Done done) override;

private:
    struct Progress {
        bool ended = false;
        bool abandoned = false;
    };
    class Transfer;
    std::unique_ptr<platform::HttpTransfer> start(const std::string& url, const std::string& path,
                                                  platform::HttpBounds bounds, Done done);
    FakeFileSystem& files_;
    VirtualClock& clock_;
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
