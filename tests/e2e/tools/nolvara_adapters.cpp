// Prints the network adapters, one line per adapter:
//   name|description|gateway
// By default as the program reads them (its own Win32 adapter list, not a
// copy of it); with "raw" the gateway is the text the IP Helper itself puts
// in the last gateway entry, untouched, so a scenario can tell what the
// system said from what the program made of it. The end-to-end scenarios run
// it inside their own network namespace. A tool of the tests; it never ships.
//
// Exit status: 0 the list was read (it may be empty), 1 the raw list cannot
// be read, 2 the command line is wrong.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/Win32Adapters.h"

namespace {

int printProgramList() {
    platform::win32::Win32AdapterInfo info;
    for (const auto& record : info.adapters())
        std::printf("%s|%s|%s\n", record.name.c_str(), record.description.c_str(),
                    record.gateway.c_str());
    return 0;
}

// The same two calls, kept apart from the program's code on purpose.
int printRawList() {
    ULONG size = 0;
    const DWORD first = GetAdaptersInfo(nullptr, &size);
    if (first == ERROR_NO_DATA) return 0;
    if (first != ERROR_BUFFER_OVERFLOW) {
        std::fprintf(stderr, "nolvara_adapters: size query answered %lu\n", first);
        return 1;
    }
    // Whole records, so that the list is aligned as the IP Helper expects.
    std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
    const DWORD second = GetAdaptersInfo(buffer.data(), &size);
    if (second != NO_ERROR) {
        std::fprintf(stderr, "nolvara_adapters: list query answered %lu\n", second);
        return 1;
    }
    for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter; adapter = adapter->Next) {
        const IP_ADDR_STRING* gateway = &adapter->GatewayList;
        while (gateway->Next) gateway = gateway->Next;
        std::printf("%.*s|%.*s|%.*s\n", static_cast<int>(sizeof adapter->AdapterName),
                    adapter->AdapterName, static_cast<int>(sizeof adapter->Description),
                    adapter->Description, static_cast<int>(sizeof gateway->IpAddress.String),
                    gateway->IpAddress.String);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return printProgramList();
    if (argc == 2 && std::strcmp(argv[1], "raw") == 0) return printRawList();
    std::fputs("usage: nolvara_adapters [raw]\n", stderr);
    return 2;
}
