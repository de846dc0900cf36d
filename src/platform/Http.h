// Plain HTTP GET through the system's HTTP client: the update check reads a
// small text, the update itself is a file.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Transfer failed: no connection within the connect timeout, refused, read
// timeout, an HTTP error status (>= 400), a broken transfer, a bad URL.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The target file of a download could not be created.
class HttpFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Http {
public:
    virtual ~Http() = default;
    // GET of url; the body as text (bytes unchanged). Throws HttpError.
    virtual std::string get(const std::string& url) = 0;
    // Creates path as a new empty file with the protected access list of
    // FileSystem (HttpFileError when it cannot, or when a file of that name
    // exists: a download never writes through someone else's file), then GETs
    // url writing the body into it, then closes it. A failed transfer throws
    // HttpError after closing; the file keeps what arrived before the failure.
    virtual void getToFile(const std::string& url, const std::string& path) = 0;
};

}  // namespace platform
