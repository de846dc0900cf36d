// The session's shared block and signal, written in one process and read in
// another: this test program starts itself again as the reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "core/LagRecord.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32SessionShare.h"
#include "win32/TestFiles.h"

namespace {

using platform::win32::KernelHandle;
using platform::win32::Win32SessionShare;

constexpr const char* kNameVariable = "NOLVARA_SHARE_TEST_NAME";

// The reader's half runs only in the process the writer's half starts.
TEST(Win32SessionShareReader, SeesTheWritersSamplesAndCanOnlyReadAndRaise) {
    const char* name = std::getenv(kNameVariable);
    if (name == nullptr) GTEST_SKIP() << "started by the writer's test only";
    Win32SessionShare share;
    const auto copy = share.copyBlock(name, core::LagBlockBytes());
    ASSERT_TRUE(copy.has_value());
    const auto view = core::ReadLagBlock(copy->data(), copy->size());
    ASSERT_TRUE(view.has_value());
    ASSERT_EQ(view->samples.size(), 5u);
    EXPECT_EQ(view->samples[4].rttMs, 44);
    EXPECT_EQ(view->test.state, core::LagTestState::Running);

    EXPECT_EQ(share.createBlock(name, core::LagBlockBytes()), nullptr) << "a second writer";
    EXPECT_EQ(share.createSignal(std::string(name) + ".signal"), nullptr) << "a second receiver";
    const std::string full = std::string("Local\\") + name;
    EXPECT_FALSE(KernelHandle(OpenFileMappingA(FILE_MAP_WRITE, FALSE, full.c_str())))
        << "the section opens for reading only";
    EXPECT_TRUE(share.raiseSignal(std::string(name) + ".signal"));
    EXPECT_TRUE(share.raiseSignalWith(std::string(name) + ".signal", 0x1003C));
}

TEST(Win32SessionShare, AnotherProcessReadsWhatTheWriterWritesAndRaisesItsSignal) {
    if (std::getenv(kNameVariable) != nullptr) GTEST_SKIP() << "this is the reader's process";
    const std::string name = "NolvaraTest.Share." + std::to_string(GetCurrentProcessId());
    Win32SessionShare share;
    EXPECT_FALSE(share.copyBlock(name, 64).has_value()) << "none before it is made";
    EXPECT_FALSE(share.raiseSignal(name + ".signal"));
    const auto block = share.createBlock(name, core::LagBlockBytes());
    ASSERT_NE(block, nullptr);
    core::LagWriter writer(block->data());
    for (int i = 0; i < 5; ++i)
        writer.add({1796824987 + i, core::LagResult::Answer, static_cast<std::uint16_t>(i * 11),
                    true, -1});
    writer.setTest({core::LagTestState::Running, 100});
    const auto signal = share.createSignal(name + ".signal");
    ASSERT_NE(signal, nullptr);
    EXPECT_FALSE(signal->taken());

    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(win32_tests::runTestsIn(self, "Win32SessionShareReader.*", kNameVariable, name), 0)
        << "the reader's checks (its output above)";
    EXPECT_TRUE(signal->taken()) << "the reader raised it";
    EXPECT_EQ(signal->word(), 0x1003Cu) << "with the word of its last raise";
    EXPECT_FALSE(signal->taken()) << "once";
}

}  // namespace
