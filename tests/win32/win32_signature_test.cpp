// CryptoAPI's check of signatures that openssl made, as the release tools
// make them, over keys the test run made itself (tests/tools/make-test-signatures).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/win32/Win32Signature.h"
#include "update/UpdateResponse.h"

namespace {

using platform::win32::Win32SignatureCheck;

std::string readAll(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

class Win32Signature : public testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("NOLVARA_SIGNATURES");
        ASSERT_NE(dir, nullptr) << "NOLVARA_SIGNATURES names the folder of test signatures";
        at = std::string(dir) + "/";
        file = readAll(at + "file.bin");
        ASSERT_EQ(file.size(), 300000u);
        ASSERT_TRUE(update::DecodeHex(readAll(at + "good.hex"), signature));
        ASSERT_EQ(signature.size(), 384u) << "3072 bits";
    }
    bool verify(const std::string& key, const std::string& build, const std::string& bytes,
                const std::string& sig) {
        return Win32SignatureCheck(readAll(at + key)).verify({build, "\n", bytes}, sig);
    }

    std::string at;
    std::string file;
    std::string signature;
};

TEST_F(Win32Signature, OnlyTheSignedBuildAndFileUnderTheTrustedKeyCheckOut) {
    EXPECT_TRUE(verify("pub.pem", "7", file, signature));
    EXPECT_TRUE(Win32SignatureCheck(readAll(at + "pub.pem")).verify({"7\n", file}, signature))
        << "the parts are one message";

    EXPECT_FALSE(verify("other-pub.pem", "7", file, signature)) << "another key";
    std::string flipped = file;
    flipped[123456] = static_cast<char>(flipped[123456] ^ 0x01);
    EXPECT_FALSE(verify("pub.pem", "7", flipped, signature)) << "one byte of the file";
    EXPECT_FALSE(verify("pub.pem", "8", file, signature)) << "another build";
    EXPECT_FALSE(verify("pub.pem", "7", file + "x", signature)) << "one byte more";
    EXPECT_FALSE(verify("pub.pem", "7", file, signature.substr(0, 383))) << "truncated";
    EXPECT_FALSE(verify("pub.pem", "7", file, "")) << "empty";
    std::string bent = signature;
    bent[200] = static_cast<char>(bent[200] ^ 0x80);
    EXPECT_FALSE(verify("pub.pem", "7", file, bent)) << "one byte of the signature";
    EXPECT_FALSE(verify("pub.pem", "7", file, std::string(signature.rbegin(), signature.rend())))
        << "the bytes in CryptoAPI's own order";
    EXPECT_FALSE(Win32SignatureCheck("no key").verify({"7\n", file}, signature));
}

TEST_F(Win32Signature, TheProgramTrustsTheReleaseKeyAndNoOther) {
    std::string release = readAll(at + "release.pem");
    while (!release.empty() && (release.back() == '\n' || release.back() == '\r')) release.pop_back();
    EXPECT_EQ(platform::win32::TrustedKeyPem(), release);
    EXPECT_FALSE(Win32SignatureCheck().verify({"7", "\n", file}, signature))
        << "a signature by the test's key";
}

}  // namespace
