#include "fakes/FakeHttp.h"

#include "fakes/Headless.h"

namespace fakes {

class FakeHttp::Transfer : public platform::HttpTransfer {
public:
    Transfer(FakeHttp& http, std::shared_ptr<Progress> progress, std::string path)
        : http_(http), progress_(std::move(progress)), path_(std::move(path)) {}
    ~Transfer() override {
        if (progress_->ended) return;
        progress_->abandoned = true;
        ++http_.abandoned;
        if (!path_.empty()) http_.files_.deleteFile(path_);
    }

private:
    FakeHttp& http_;
    std::shared_ptr<Progress> progress_;
    std::string path_;
};

std::unique_ptr<platform::HttpTransfer> FakeHttp::get(const std::string& url,
                                                      platform::HttpBounds bounds, Done done) {
    return start(url, std::string(), bounds, std::move(done));
}

std::unique_ptr<platform::HttpTransfer> FakeHttp::download(const std::string& url,
                                                           const std::string& path,
                                                           platform::HttpBounds bounds, Done done) {
    return start(url, path, bounds, std::move(done));
}

std::unique_ptr<platform::HttpTransfer> FakeHttp::start(const std::string& url,
                                                        const std::string& path,
                                                        platform::HttpBounds bounds, Done done) {
    auto progress = std::make_shared<Progress>();
    const bool isDownload = !path.empty();
    requests.push_back(url);
    this->bounds.push_back(bounds);
    const auto finish = [progress, done](platform::HttpOutcome outcome) {
        if (progress->abandoned) return;
        progress->ended = true;
        done(outcome);
    };
    if (isDownload && !files_.createProtectedFile(path, "")) {
        clock_.post(0, [finish] { finish({platform::HttpOutcome::Result::FileNotCreated, ""}); });
        return std::make_unique<Transfer>(*this, progress, std::string());
    }
    const auto it = answers.find(url);
    const Answer answer = it == answers.end() ? Answer{"", true} : it->second;
    if (!answer.stalls) {
        clock_.post(answer.delayMs, [this, finish, answer, path, isDownload, bounds, progress] {
            if (progress->abandoned) return;
            const bool tooLong = answer.body.size() > bounds.maxBytes;
            const bool failed = answer.fails || tooLong;
            platform::HttpOutcome outcome{failed ? platform::HttpOutcome::Result::Failed
                                                 : platform::HttpOutcome::Result::Done,
                                          ""};
            const std::string arrived = tooLong ? answer.body.substr(0, bounds.maxBytes) : answer.body;
            if (isDownload)
                files_.writeFile(path, arrived);
            else if (!failed)
                outcome.body = arrived;
            finish(outcome);
        });
    }
    return std::make_unique<Transfer>(*this, progress, path);
}

}  // namespace fakes
