#pragma once

#include <cstddef>
#include <memory>
#include <string.h> // explicit_bzero
#include <string>
#include <string_view>

namespace tavolix {

// Memory is handed back wiped: a secret that outgrew a buffer leaves nothing in it.
// explicit_bzero is what OPENSSL_cleanse is elsewhere, a wipe the compiler may not drop; this
// library links no OpenSSL.
template <typename T> struct WipingAllocator
{
    using value_type = T;
    WipingAllocator() = default;
    template <typename U> WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* memory, std::size_t count)
    {
        ::explicit_bzero(memory, count * sizeof(T));
        std::allocator<T>().deallocate(memory, count);
    }
    bool operator==(const WipingAllocator&) const = default;
};

using WipedString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// A password: its bytes are wiped from memory when it goes, also from a short text's buffer
// inside the object and from a buffer it is assigned over.
class SecretText final
{
public:
    SecretText() = default;
    SecretText(const char* text) : m_text(text) {}
    SecretText(std::string_view text) : m_text(text) {}
    SecretText(const std::string& text) : m_text(text) {}
    explicit SecretText(WipedString&& text) : m_text(std::move(text)) {}
    SecretText(const SecretText&) = default;
    SecretText(SecretText&&) noexcept = default;
    SecretText& operator=(const SecretText& other)
    {
        if (this != &other) {
            wipe();
            m_text = other.m_text;
        }
        return *this;
    }
    SecretText& operator=(SecretText&& other) noexcept
    {
        if (this != &other) {
            wipe();
            m_text = std::move(other.m_text);
        }
        return *this;
    }
    ~SecretText() { wipe(); }

    operator std::string_view() const { return m_text; }
    std::string_view view() const { return m_text; }
    const char* c_str() const { return m_text.c_str(); }
    std::size_t size() const { return m_text.size(); }
    bool empty() const { return m_text.empty(); }
    friend bool operator==(const SecretText& a, std::string_view b) { return a.view() == b; }

private:
    void wipe() { ::explicit_bzero(m_text.data(), m_text.capacity()); }

    WipedString m_text;
};

} // namespace tavolix
