// Plain HTTP GET through the system's HTTP client: the update check reads a
// small text, the update itself is a file. A transfer can take seconds to
// minutes, so it runs beside the window's thread, and its outcome comes back
// to that thread through the message loop, like any other event.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/SystemError.h"

namespace platform {

// Transfer failed: no connection within the connect timeout, refused, read
// timeout, an HTTP error status (>= 400), a broken transfer, a bad URL, an
// answer longer than allowed or slower than its time.
class HttpError : public SystemError {
public:
    using SystemError::SystemError;
};

// The target file of a download could not be created.
class HttpFileError : public SystemError {
public:
    using SystemError::SystemError;
};

struct HttpOutcome {
    enum class Result { Done, Failed, FileNotCreated };
    Result result = Result::Failed;
    // The answer of a GET; empty for a download, which is in its file.
    std::string body;
};

// A transfer under way. Letting go of it abandons the transfer: its outcome
// never arrives, and a download's file is deleted unless it had arrived
// whole before.
class HttpTransfer {
public:
    virtual ~HttpTransfer() = default;
};

// The bounds of one transfer.
struct HttpBounds {
    std::size_t maxBytes = 0;  // a longer answer or file is a failure
    int totalMs = 0;           // from the start to the last byte
};

class Http {
public:
    using Done = std::function<void(const HttpOutcome&)>;
    virtual ~Http() = default;
    // GET of url; done gets the body as text (bytes unchanged).
    virtual std::unique_ptr<HttpTransfer> get(const std::string& url, HttpBounds bounds,
                                              Done done) = 0;
    // Creates path as a new empty file with the protected access list of
    // FileSystem (FileNotCreated when it cannot, or when a file of that name
    // exists: a download never writes through someone else's file), then GETs
    // url writing the body into it, then closes it. A failed transfer leaves
    // in the file what arrived before the failure.
    virtual std::unique_ptr<HttpTransfer> download(const std::string& url, const std::string& path,
                                                   HttpBounds bounds, Done done) = 0;
};

}  // namespace platform
