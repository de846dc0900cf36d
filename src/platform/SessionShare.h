// What the runs of the program in one user's session share beyond the
// registry: a block of bytes that one run writes and the others read, and a
// signal that the others raise for that run. Nothing else may open either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The writer's end of a shared block; the block goes when its last user does.
class SharedBlock {
public:
    virtual ~SharedBlock() = default;
    virtual unsigned char* data() = 0;
};

// The end of a signal that waits for it to be raised.
class SignalReceiver {
public:
    virtual ~SignalReceiver() = default;
    // Whether it was raised since the last call (once, however often it was
    // raised meanwhile); never waits.
    virtual bool taken() = 0;
    // What the newest raise carried; 0 for a raise that carried nothing.
    // Raises that come together leave the last one's word.
    virtual std::uint32_t word() = 0;
};

class SessionShare {
public:
    virtual ~SessionShare() = default;
    // Makes the block of that name and size, zeroed, for this run to write;
    // null when it cannot be made or another run of the session has it.
    virtual std::unique_ptr<SharedBlock> createBlock(const std::string& name, std::size_t size) = 0;
    // A copy of the block as it is now, at most maxSize bytes (it may be
    // shorter: whoever made it chose its size); none when there is none.
    virtual std::optional<std::vector<unsigned char>> copyBlock(const std::string& name,
                                                                std::size_t maxSize) = 0;
    // Makes the signal of that name for this run to wait for; null as above.
    virtual std::unique_ptr<SignalReceiver> createSignal(const std::string& name) = 0;
    // Raises it; false when no run waits for it.
    virtual bool raiseSignal(const std::string& name) = 0;
    // Raises it with a word for the receiver; false as above.
    virtual bool raiseSignalWith(const std::string& name, std::uint32_t word) = 0;
};

}  // namespace platform
