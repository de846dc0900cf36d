// The machine's network adapters through the IP Helper's GetAdaptersInfo,
// which XP has; it lists IPv4 adapters with their gateways.
#pragma once

#include <windows.h>
// iphlpapi.h needs the types of windows.h.
#include <iphlpapi.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AdapterInfo.h"

namespace platform::win32 {

// The text of a fixed-size character field of an adapter record: read up to
// its first NUL, or the whole field when it has none, then trimmed at both
// ends of blanks and every other character with a code of 32 or below.
std::string fixedFieldText(const char* field, std::size_t size);

template <std::size_t N>
std::string fixedFieldText(const char (&field)[N]) {
    return fixedFieldText(field, N);
}

// Trims characters with codes of 32 or below (blank, tab, CR, LF, ...) from
// both ends; the characters are compared as unsigned, so Windows-1252 letters
// above 127 stay.
std::string trimControls(std::string_view text);

// The IP Helper writes "0.0.0.0" where an adapter has no gateway; the program
// knows that case as the empty text. Any other address stays as it is.
std::string gatewayText(std::string_view address);

class Win32AdapterInfo : public platform::AdapterInfo {
public:
    // The IP Helper call; the tests put one of their own in its place to play
    // the answers that a real machine gives only rarely.
    using QueryFunction = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

    Win32AdapterInfo() = default;
    explicit Win32AdapterInfo(QueryFunction query) : query_(query) {}
    ~Win32AdapterInfo() override;
    Win32AdapterInfo(const Win32AdapterInfo&) = delete;
    Win32AdapterInfo& operator=(const Win32AdapterInfo&) = delete;

    // Asks once for the size the list needs, then reads it into a buffer of
    // exactly that size. Any answer but "buffer too small" to the first call
    // (ERROR_NO_DATA when there are no adapters) and any failure of the
    // second give the empty list.
    std::vector<platform::AdapterRecord> adapters() override;
    // The IP Helper's NotifyAddrChange with an event: the system sets it at
    // the next change of an address after each arming.
    bool addressesChanged() override;

private:
    struct AddressWatch;
    bool armAddressWatch();

    QueryFunction query_ = &::GetAdaptersInfo;
    // The request the system may still write into; see the destructor.
    AddressWatch* addressWatch_ = nullptr;
};

}  // namespace platform::win32
