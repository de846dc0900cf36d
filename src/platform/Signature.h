// Checking that a file comes from the program's publisher.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class SignatureCheck {
public:
    virtual ~SignatureCheck() = default;
    // True only when signature (most significant byte first, as openssl
    // writes it) is an RSA PKCS #1 v1.5 signature with SHA-256 by the trusted
    // key over the parts of the message, one after the other. False for any
    // other signature, and wherever the system cannot check one at all.
    virtual bool verify(const std::vector<std::string_view>& message,
                        const std::string& signature) = 0;
};

}  // namespace platform
