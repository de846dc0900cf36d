// The adapter list: the text rules on fixed fields, the two-call size protocol
// against a scripted IP Helper, and one read of the real list. The adapters of
// a network of the tests' own are checked end to end (e2e adapters scenario);
// here the machine's real list is checked against the system's own answers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/Win32Adapters.h"

namespace {

using platform::win32::fixedFieldText;
using platform::win32::gatewayText;
using platform::win32::trimControls;
using platform::win32::Win32AdapterInfo;

TEST(Win32AdapterText, FieldIsReadUpToItsFirstNulOrToItsEnd) {
    char field[8];
    std::memcpy(field, "eth0\0xyz", 8);
    EXPECT_EQ(fixedFieldText(field), "eth0") << "what follows the NUL is left";

    // A field filled to its last byte has no NUL; reading must stop at its
    // end even though the bytes after it are text too.
    const char memory[] = "ABCDEFGHIJKLmore";
    EXPECT_EQ(fixedFieldText(memory, 12), "ABCDEFGHIJKL");
    EXPECT_EQ(fixedFieldText(memory, 1), "A");
    EXPECT_EQ(fixedFieldText(memory, 0), "");

    char empty[5] = {};
    EXPECT_EQ(fixedFieldText(empty), "");
    // The fields of the records have the IP Helper's sizes.
    IP_ADAPTER_INFO record{};
    std::memset(record.AdapterName, 'n', sizeof record.AdapterName);
    std::memset(record.Description, 'd', sizeof record.Description);
    EXPECT_EQ(fixedFieldText(record.AdapterName), std::string(260, 'n'));
    EXPECT_EQ(fixedFieldText(record.Description), std::string(132, 'd'));
}

TEST(Win32AdapterText, BlanksAndControlCharactersGoAtBothEndsOnly) {
    EXPECT_EQ(trimControls(" \t\r\n  Fast Ethernet\tAdapter \r\n\t "), "Fast Ethernet\tAdapter");
    EXPECT_EQ(trimControls(std::string("\x01\x1f\x20x\x7f\x20", 6)), "x\x7f")
        << "codes 1..32 go, 127 stays";
    EXPECT_EQ(trimControls("\xe4rger \xfc"), "\xe4rger \xfc") << "Windows-1252 letters stay";
    EXPECT_EQ(trimControls(" \t\r\n"), "");
    EXPECT_EQ(trimControls(""), "");
    EXPECT_EQ(trimControls("x"), "x");

    char field[16] = " \t{A-1}\r ";
    EXPECT_EQ(fixedFieldText(field), "{A-1}");
    // Trimming happens after the cut at the NUL, not across it.
    char cut[16];
    std::memcpy(cut, "  id \0  more   ", 16);
    EXPECT_EQ(fixedFieldText(cut), "id");
}

TEST(Win32AdapterText, OnlyTheNoneAddressBecomesEmpty) {
    EXPECT_EQ(gatewayText("0.0.0.0"), "");
    EXPECT_EQ(gatewayText("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(gatewayText("192.168.0.254"), "192.168.0.254");
    EXPECT_EQ(gatewayText("0.0.0.1"), "0.0.0.1");
    EXPECT_EQ(gatewayText("10.0.0.0"), "10.0.0.0");
    EXPECT_EQ(gatewayText(""), "");
}

// ---- The IP Helper played by the test ---------------------------------------

// What the scripted GetAdaptersInfo answers, and what it saw.
struct Script {
    DWORD firstAnswer = ERROR_BUFFER_OVERFLOW;
    ULONG announcedSize = 0;
    DWORD secondAnswer = NO_ERROR;
    void (*fill)(unsigned char* buffer) = nullptr;

    int calls = 0;
    bool firstHadNoBuffer = false;
    ULONG sizeOfSecond = 0;
    bool secondBufferZeroed = false;
};

Script script;

DWORD WINAPI scriptedQuery(PIP_ADAPTER_INFO info, PULONG size) {
    ++script.calls;
    if (script.calls == 1) {
        script.firstHadNoBuffer = info == nullptr && *size == 0;
        *size = script.announcedSize;
        return script.firstAnswer;
    }
    script.sizeOfSecond = *size;
    auto* bytes = reinterpret_cast<unsigned char*>(info);
    script.secondBufferZeroed = true;
    for (ULONG i = 0; i < *size; ++i) script.secondBufferZeroed &= bytes[i] == 0;
    if (script.secondAnswer == NO_ERROR && script.fill) script.fill(bytes);
    return script.secondAnswer;
}

// Two records and two further gateway entries, laid out as the IP Helper lays
// them: in one block, linked by pointers into it.
constexpr ULONG kTwoAdaptersBytes = 2 * sizeof(IP_ADAPTER_INFO) + 2 * sizeof(IP_ADDR_STRING);

void fillTwoAdapters(unsigned char* buffer) {
    auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer);
    auto* second = first + 1;
    auto* extra = reinterpret_cast<IP_ADDR_STRING*>(second + 1);
    first->Next = second;
    std::strcpy(first->AdapterName, "  {7A1B}\t");
    // The description fills its field to the last byte: no NUL.
    std::memset(first->Description, 'W', sizeof first->Description);
    // Three gateways: the last one counts.
    std::strcpy(first->GatewayList.IpAddress.String, "10.0.0.1");
    first->GatewayList.Next = &extra[0];
    std::strcpy(extra[0].IpAddress.String, "10.0.0.2");
    extra[0].Next = &extra[1];
    std::strcpy(extra[1].IpAddress.String, " 10.0.0.3\r\n");

    second->Next = nullptr;
    std::strcpy(second->AdapterName, "lo");
    std::strcpy(second->Description, "\tLoopback \r");
    std::strcpy(second->GatewayList.IpAddress.String, "0.0.0.0");
}

class Win32AdapterInfoProtocol : public ::testing::Test {
protected:
    void SetUp() override { script = Script{}; }
    std::vector<platform::AdapterRecord> read() { return Win32AdapterInfo(&scriptedQuery).adapters(); }
};

TEST_F(Win32AdapterInfoProtocol, AsksForTheSizeThenReadsIntoAZeroedBufferOfThatSize) {
    script.announcedSize = kTwoAdaptersBytes;
    script.fill = &fillTwoAdapters;
    const auto records = read();

    EXPECT_EQ(script.calls, 2);
    EXPECT_TRUE(script.firstHadNoBuffer) << "the first call has no buffer and size 0";
    EXPECT_EQ(script.sizeOfSecond, kTwoAdaptersBytes);
    EXPECT_TRUE(script.secondBufferZeroed);

    ASSERT_EQ(records.size(), 2u) << "in the order the system lists them";
    EXPECT_EQ(records[0].name, "{7A1B}");
    EXPECT_EQ(records[0].description, std::string(132, 'W'));
    EXPECT_EQ(records[0].gateway, "10.0.0.3") << "the last entry of the gateway chain";
    EXPECT_EQ(records[1].name, "lo");
    EXPECT_EQ(records[1].description, "Loopback");
    EXPECT_EQ(records[1].gateway, "") << "0.0.0.0 means no gateway";
}

TEST_F(Win32AdapterInfoProtocol, AnyOtherFirstAnswerMeansNoAdapters) {
    for (const DWORD answer : {DWORD{ERROR_NO_DATA}, DWORD{NO_ERROR}, DWORD{ERROR_NOT_SUPPORTED},
                               DWORD{ERROR_INVALID_PARAMETER}}) {
        script = Script{};
        script.firstAnswer = answer;
        script.announcedSize = kTwoAdaptersBytes;
        script.fill = &fillTwoAdapters;
        EXPECT_TRUE(read().empty()) << "first answer " << answer;
        EXPECT_EQ(script.calls, 1) << "no second call after first answer " << answer;
    }
}

TEST_F(Win32AdapterInfoProtocol, AFailedSecondCallGivesNoAdapters) {
    // The list grew between the calls, or the stack went away.
    for (const DWORD answer : {DWORD{ERROR_BUFFER_OVERFLOW}, DWORD{ERROR_NO_DATA}}) {
        script = Script{};
        script.announcedSize = kTwoAdaptersBytes;
        script.secondAnswer = answer;
        script.fill = &fillTwoAdapters;
        EXPECT_TRUE(read().empty()) << "second answer " << answer;
        EXPECT_EQ(script.calls, 2);
    }
}

// The system's own list, walked here without the code under test.
std::vector<IP_ADAPTER_INFO> systemAdapters() {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return {};
    std::vector<unsigned char> buffer(size);
    auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(first, &size) != NO_ERROR) return {};
    std::vector<IP_ADAPTER_INFO> list;
    for (const IP_ADAPTER_INFO* a = first; a != nullptr; a = a->Next) list.push_back(*a);
    return list;
}

std::string lastGateway(const IP_ADAPTER_INFO& a) {
    const IP_ADDR_STRING* g = &a.GatewayList;
    while (g->Next != nullptr) g = g->Next;
    const std::string text = g->IpAddress.String;
    return text == "0.0.0.0" ? "" : text;
}

TEST(Win32AdapterInfo, TheRealListIsTheSystemsListWithItsDefaultRoute) {
    const auto expected = systemAdapters();
    const auto records = Win32AdapterInfo().adapters();
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].name, expected[i].AdapterName);
        EXPECT_EQ(records[i].description, expected[i].Description);
        EXPECT_EQ(records[i].gateway, lastGateway(expected[i])) << records[i].name;
    }

    // The route table is a second source: the adapter that carries the
    // default route names that route's next hop as its gateway.
    ULONG size = 0;
    GetIpForwardTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size);
    auto* routes = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (size == 0 || GetIpForwardTable(routes, &size, FALSE) != NO_ERROR) return;
    bool defaultRoute = false;
    int carriers = 0;
    for (DWORD r = 0; r < routes->dwNumEntries; ++r) {
        const MIB_IPFORWARDROW& row = routes->table[r];
        if (row.dwForwardDest != 0 || row.dwForwardMask != 0 || row.dwForwardNextHop == 0) continue;
        defaultRoute = true;
        const auto* hop = reinterpret_cast<const unsigned char*>(&row.dwForwardNextHop);
        const std::string nextHop = std::to_string(hop[0]) + "." + std::to_string(hop[1]) + "." +
                                    std::to_string(hop[2]) + "." + std::to_string(hop[3]);
        for (size_t i = 0; i < records.size(); ++i)
            if (expected[i].Index == row.dwForwardIfIndex) {
                EXPECT_EQ(records[i].gateway, nextHop) << records[i].name;
                ++carriers;
            }
    }
    EXPECT_TRUE(!defaultRoute || carriers > 0) << "no adapter carries the default route";
}

// The first look reads; later ones only after the system reported a change
// (Wine reports none, and no address changes during the test anyway).
TEST(Win32AdapterInfo, AddressChangesAreLookedForOnceArmed) {
    platform::win32::Win32AdapterInfo info;
    EXPECT_TRUE(info.addressesChanged());
    EXPECT_FALSE(info.addressesChanged());
    EXPECT_FALSE(info.addressesChanged());
}

}  // namespace
