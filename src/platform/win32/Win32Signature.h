// Signatures checked with CryptoAPI's Enhanced RSA and AES provider, which
// Windows has from XP SP3 on and which knows SHA-256. Where it is missing, no
// signature checks out, and so no update runs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Signature.h"

namespace platform::win32 {

// The public key this program trusts, as PEM text ("-----BEGIN PUBLIC
// KEY-----", X.509 SubjectPublicKeyInfo). It lives in a fixed block of the
// program file that tools/trust-update-key can overwrite with another key.
std::string TrustedKeyPem();

class Win32SignatureCheck : public platform::SignatureCheck {
public:
    explicit Win32SignatureCheck(std::string publicKeyPem = TrustedKeyPem())
        : publicKeyPem_(std::move(publicKeyPem)) {}
    bool verify(const std::vector<std::string_view>& message, const std::string& signature) override;

private:
    std::string publicKeyPem_;
};

}  // namespace platform::win32
