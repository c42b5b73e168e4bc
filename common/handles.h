// Small owning wrappers for Windows handles, one line per handle type, in the manner of
// unique_ptr: get / reset / release, the invalid value part of the type. The namespace is the
// project's own, so that the code can live beside a library that names its wrappers alike.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace qv {

// Traits: `invalid()` is the value that owns nothing, `close(value)` releases a valid one.
template <typename T, typename Traits>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    ~unique_any() { reset(); }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::invalid(); }
    void reset(T value = Traits::invalid()) {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }
    T release() { return std::exchange(value_, Traits::invalid()); }
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::invalid();
};

template <typename T, void (*Close)(T)>
struct null_traits {
    static T invalid() { return nullptr; }
    static void close(T value) { Close(value); }
};

inline void close_handle(HANDLE h) { ::CloseHandle(h); }
inline void close_hinternet(HINTERNET h) { ::InternetCloseHandle(h); }
inline void delete_gdi(HGDIOBJ h) { ::DeleteObject(h); }
inline void destroy_icon(HICON h) { ::DestroyIcon(h); }
inline void free_global(HGLOBAL h) { ::GlobalFree(h); }

struct file_traits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};

using unique_handle = unique_any<HANDLE, null_traits<HANDLE, close_handle>>;
using unique_hfile = unique_any<HANDLE, file_traits>;
using unique_hinternet = unique_any<HINTERNET, null_traits<HINTERNET, close_hinternet>>;
using unique_hgdiobj = unique_any<HGDIOBJ, null_traits<HGDIOBJ, delete_gdi>>;
using unique_hicon = unique_any<HICON, null_traits<HICON, destroy_icon>>;
using unique_hglobal = unique_any<HGLOBAL, null_traits<HGLOBAL, free_global>>;

// Runs a callable when the scope ends (one-off clean-up).
template <typename F>
class scope_exit_t {
public:
    explicit scope_exit_t(F f) : f_(std::move(f)) {}
    ~scope_exit_t() {
        if (active_) f_();
    }
    scope_exit_t(const scope_exit_t&) = delete;
    scope_exit_t& operator=(const scope_exit_t&) = delete;
    void release() { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

template <typename F>
[[nodiscard]] scope_exit_t<F> scope_exit(F f) {
    return scope_exit_t<F>(std::move(f));
}

}  // namespace qv
