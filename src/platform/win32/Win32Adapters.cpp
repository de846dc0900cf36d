#include "platform/win32/Win32Adapters.h"

#include <cstring>
#include <memory>

namespace platform::win32 {

namespace {

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// The list as the IP Helper writes it: records and gateway entries linked by
// pointers into the same block. The block is zero-filled, so a record the
// call leaves short still ends in NULs, and it is freed however the walk ends.
// operator new[] aligns for any fundamental type, as the records need.
class AdapterBuffer {
public:
    explicit AdapterBuffer(ULONG bytes) : bytes_(std::make_unique<unsigned char[]>(bytes)) {}

    PIP_ADAPTER_INFO first() { return reinterpret_cast<PIP_ADAPTER_INFO>(bytes_.get()); }

private:
    std::unique_ptr<unsigned char[]> bytes_;  // make_unique<T[]> value-initialises: zeros
};

// The last entry of the chain is the gateway in use; the ones before it are
// the alternatives an adapter may carry.
std::string lastGateway(const IP_ADDR_STRING& list) {
    const IP_ADDR_STRING* entry = &list;
    while (entry->Next != nullptr) entry = entry->Next;
    return gatewayText(fixedFieldText(entry->IpAddress.String));
}

}  // namespace

std::string trimControls(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlankOrControl(text[begin])) ++begin;
    while (end > begin && isBlankOrControl(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string fixedFieldText(const char* field, std::size_t size) {
    // memchr, not strlen: a field filled to its last byte has no NUL.
    const void* nul = std::memchr(field, '\0', size);
    const std::size_t length = nul ? static_cast<const char*>(nul) - field : size;
    return trimControls(std::string_view(field, length));
}

std::string gatewayText(std::string_view address) {
    return address == "0.0.0.0" ? std::string() : std::string(address);
}

std::vector<platform::AdapterRecord> Win32AdapterInfo::adapters() {
    std::vector<platform::AdapterRecord> records;
    ULONG size = 0;
    if (query_(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return records;

    AdapterBuffer buffer(size);
    // The size is passed as given: a list that grew in between makes this
    // call fail, and the caller tries again on its next round.
    if (query_(buffer.first(), &size) != NO_ERROR) return records;

    for (const IP_ADAPTER_INFO* adapter = buffer.first(); adapter != nullptr;
         adapter = adapter->Next) {
        records.push_back({fixedFieldText(adapter->AdapterName),
                           fixedFieldText(adapter->Description),
                           lastGateway(adapter->GatewayList)});
    }
    return records;
}

struct Win32AdapterInfo::AddressWatch {
    OVERLAPPED request{};
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool armed = false;
};

bool Win32AdapterInfo::armAddressWatch() {
    AddressWatch& watch = *addressWatch_;
    if (watch.event == nullptr) return false;
    ResetEvent(watch.event);
    watch.request = OVERLAPPED{};
    watch.request.hEvent = watch.event;
    HANDLE unused = nullptr;
    watch.armed = NotifyAddrChange(&unused, &watch.request) == ERROR_IO_PENDING;
    return watch.armed;
}

bool Win32AdapterInfo::addressesChanged() {
    if (addressWatch_ == nullptr) {
        addressWatch_ = new AddressWatch;
        armAddressWatch();
        return true;
    }
    if (addressWatch_->armed && WaitForSingleObject(addressWatch_->event, 0) == WAIT_TIMEOUT)
        return false;
    // Armed again before the caller reads the list: a change meanwhile is
    // the next look's.
    armAddressWatch();
    return true;
}

Win32AdapterInfo::~Win32AdapterInfo() {
    if (addressWatch_ == nullptr) return;
    if (addressWatch_->armed) {
        // The system writes into a pending request when it completes. Vista
        // and later can cancel it; XP cannot, and there the small request
        // stays for the life of the process rather than be written after it
        // was freed.
        using Cancel = BOOL(WINAPI*)(LPOVERLAPPED);
        HMODULE iphlpapi = GetModuleHandleA("iphlpapi.dll");
        const auto cancel = reinterpret_cast<Cancel>(reinterpret_cast<void*>(
            iphlpapi != nullptr ? GetProcAddress(iphlpapi, "CancelIPChangeNotify") : nullptr));
        if (cancel == nullptr || !cancel(&addressWatch_->request) ||
            WaitForSingleObject(addressWatch_->event, 1000) != WAIT_OBJECT_0)
            return;
    }
    if (addressWatch_->event != nullptr) CloseHandle(addressWatch_->event);
    delete addressWatch_;
}

}  // namespace platform::win32
