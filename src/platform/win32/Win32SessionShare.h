// The session's shared block and signal as named sections of the session's
// own namespace ("Local\"), whose access lists let the running user read the
// block and count the signal up, and nothing more: only the run that made
// them writes the one and takes the other.
#pragma once

#include "platform/SessionShare.h"

namespace platform::win32 {

class Win32SessionShare : public platform::SessionShare {
public:
    std::unique_ptr<SharedBlock> createBlock(const std::string& name, std::size_t size) override;
    std::optional<std::vector<unsigned char>> copyBlock(const std::string& name,
                                                        std::size_t maxSize) override;
    std::unique_ptr<SignalReceiver> createSignal(const std::string& name) override;
    bool raiseSignal(const std::string& name) override;
    bool raiseSignalWith(const std::string& name, std::uint32_t word) override;
};

}  // namespace platform::win32
