// One owner for every kind of Windows handle the program opens.
#pragma once

#include <windows.h>

#include <utility>

namespace platform::win32 {

// Owns one handle and closes it exactly once; movable, never copyable, so a
// handle cannot be closed twice by two copies. Close closes a handle; when it
// also says which value a failed open returns (failed), that value is taken
// as no handle, so "empty" has one meaning whatever the function answered.
template <typename Handle, typename Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(empty(handle)) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle release() { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) {
        if (handle_ != nullptr) Close{}(handle_);
        handle_ = empty(handle);
    }

private:
    static Handle empty(Handle handle) {
        if constexpr (requires { Close::failed(handle); })
            return Close::failed(handle) ? nullptr : handle;
        else
            return handle;
    }
    Handle handle_ = nullptr;
};

// Functions that open kernel objects answer INVALID_HANDLE_VALUE or null on
// failure, depending on the function.
struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
    static bool failed(HANDLE handle) { return handle == INVALID_HANDLE_VALUE; }
};
using KernelHandle = UniqueHandle<HANDLE, CloseKernelHandle>;

}  // namespace platform::win32
