#include "platform/win32/Win32Signature.h"

// wincrypt.h needs the types of windows.h; WIN32_LEAN_AND_MEAN leaves it out.
#include <wincrypt.h>

#include <algorithm>
#include <cstddef>

#include "ReleaseKey.h"

// The headers keep SHA-256 to programs built for XP SP3 and later; this one
// is built for SP2 as well, and asks for it at run time.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace platform::win32 {

namespace {

// The key block: a tag that tools/trust-update-key looks for, the PEM text,
// and NULs up to the fixed size. Read through a volatile pointer, so that the
// compiler cannot fold the text built in here into the code that reads it.
constexpr std::size_t kKeySlotBytes = 1024;
extern const char kTrustedKeySlot[kKeySlotBytes];
const char kTrustedKeySlot[kKeySlotBytes] = "NOLVARA-TRUSTED-UPDATE-KEY\n" NOLVARA_RELEASE_KEY_PEM;

// CryptoAPI's handles are numbers, not pointers; each kind has its own release.
template <typename Handle, BOOL(WINAPI* Release)(Handle)>
class CryptOwner {
public:
    CryptOwner() = default;
    ~CryptOwner() {
        if (handle_ != 0) Release(handle_);
    }
    CryptOwner(const CryptOwner&) = delete;
    CryptOwner& operator=(const CryptOwner&) = delete;
    Handle* put() { return &handle_; }
    Handle get() const { return handle_; }

private:
    Handle handle_ = 0;
};

BOOL WINAPI releaseContext(HCRYPTPROV provider) { return CryptReleaseContext(provider, 0); }
using Provider = CryptOwner<HCRYPTPROV, releaseContext>;
using Key = CryptOwner<HCRYPTKEY, CryptDestroyKey>;
using Hash = CryptOwner<HCRYPTHASH, CryptDestroyHash>;

struct LocalMemory {
    ~LocalMemory() { LocalFree(memory); }
    void* memory = nullptr;
};

bool importPublicKey(HCRYPTPROV provider, const std::string& pem, Key& key) {
    const std::size_t begin = pem.find("-----BEGIN");
    if (begin == std::string::npos) return false;
    const std::string text = pem.substr(begin);
    DWORD derBytes = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &derBytes, nullptr, nullptr))
        return false;
    std::string der(derBytes, '\0');
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()),
                              CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()),
                              &derBytes, nullptr, nullptr))
        return false;
    LocalMemory info;
    DWORD infoBytes = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                             reinterpret_cast<const BYTE*>(der.data()), derBytes,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &info.memory, &infoBytes))
        return false;
    return CryptImportPublicKeyInfo(provider, X509_ASN_ENCODING,
                                    static_cast<CERT_PUBLIC_KEY_INFO*>(info.memory), key.put()) != 0;
}

}  // namespace

std::string TrustedKeyPem() {
    const volatile char* slot = kTrustedKeySlot;
    std::string pem;
    for (std::size_t i = 0; i < kKeySlotBytes && slot[i] != '\0'; ++i) pem += slot[i];
    const std::size_t begin = pem.find("-----BEGIN");
    return begin == std::string::npos ? std::string() : pem.substr(begin);
}

bool Win32SignatureCheck::verify(const std::vector<std::string_view>& message,
                                 const std::string& signature) {
    if (signature.empty()) return false;
    Provider provider;
    if (!CryptAcquireContextA(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return false;
    Key key;
    if (!importPublicKey(provider.get(), publicKeyPem_, key)) return false;
    Hash hash;
    // Fails on XP before SP3, whose provider knows no SHA-256.
    if (!CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) return false;
    for (std::string_view part : message) {
        while (!part.empty()) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(part.size(), 1u << 20));
            if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(part.data()), piece, 0))
                return false;
            part.remove_prefix(piece);
        }
    }
    // CryptoAPI reads the signature as a little-endian number.
    std::string reversed(signature.rbegin(), signature.rend());
    return CryptVerifySignatureA(hash.get(), reinterpret_cast<const BYTE*>(reversed.data()),
                                 static_cast<DWORD>(reversed.size()), key.get(), nullptr, 0) != 0;
}

}  // namespace platform::win32
