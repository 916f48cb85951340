// Wiping secrets (passwords, key material, decrypted books) before their memory is reused or
// handed back. Every wipe in the program goes through WipeBytes, whose stores the compiler may
// not drop as dead.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace morvane {

// Sets n bytes at p to zero (p may be null when n is 0).
void WipeBytes(void* p, std::size_t n) noexcept;

// Wipes the whole buffer of s, its spare capacity and short-string buffer included, and
// leaves s empty.
void Wipe(std::string& s) noexcept;

// Wipes the whole buffer of v up to its capacity and leaves v empty.
template <class T, class A>
void Wipe(std::vector<T, A>& v) noexcept
{
    static_assert(std::is_trivially_copyable_v<T>);
    WipeBytes(v.data(), v.capacity() * sizeof(T));
    v.clear();
}

// Stores value in target. target's old content is wiped first, so neither a reused nor a
// released buffer keeps it; value may not overlap target.
void ReplaceSecret(std::string& target, std::string_view value);
// The same with the content of source, which is then wiped.
void TakeSecret(std::string& target, std::string& source);

// Wipes a string or vector when the scope ends, however it ends.
template <class Buffer>
class WipeOnExit {
public:
    explicit WipeOnExit(Buffer& buffer) noexcept : buffer_(buffer) {}
    ~WipeOnExit() { Wipe(buffer_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    Buffer& buffer_;
};

// A fixed-size array that wipes itself when it goes out of scope. Like std::array, its
// elements start uninitialised.
template <class T, std::size_t N>
struct SecretArray : std::array<T, N> {
    static_assert(std::is_trivially_copyable_v<T>);
    ~SecretArray() { WipeBytes(this->data(), sizeof(T) * N); }
};

}  // namespace morvane
