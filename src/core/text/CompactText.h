#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

// An owning single-byte text in one pointer: null when empty, otherwise a heap
// block of [4-byte length][bytes]. A million records with a dozen mostly empty
// texts each stay small this way.
class CCompactText
{
public:
    CCompactText() = default;
    explicit CCompactText(std::string_view s) { Assign(s); }
    CCompactText(const CCompactText& other) { Assign(other.View()); }
    CCompactText(CCompactText&& other) noexcept
        : m_p(other.m_p)
    {
        other.m_p = nullptr;
    }
    CCompactText& operator=(const CCompactText& other)
    {
        if (this != &other)
            Assign(other.View());
        return *this;
    }
    CCompactText& operator=(CCompactText&& other) noexcept
    {
        if (this != &other) {
            delete[] m_p;
            m_p = other.m_p;
            other.m_p = nullptr;
        }
        return *this;
    }
    ~CCompactText() { delete[] m_p; }

    void Assign(std::string_view s)
    {
        char* p = nullptr;
        if (!s.empty()) {
            const uint32_t n = uint32_t(s.size());
            p = new char[sizeof n + s.size()];
            std::memcpy(p, &n, sizeof n);
            std::memcpy(p + sizeof n, s.data(), s.size());
        }
        delete[] m_p;
        m_p = p;
    }
    bool IsEmpty() const { return m_p == nullptr; }
    size_t Size() const
    {
        if (!m_p)
            return 0;
        uint32_t n;
        std::memcpy(&n, m_p, sizeof n);
        return n;
    }
    std::string_view View() const
    {
        return m_p ? std::string_view(m_p + sizeof(uint32_t), Size()) : std::string_view();
    }
    std::string Str() const { return std::string(View()); }

private:
    char* m_p = nullptr;
};

// Like CCompactText, but texts up to 15 bytes (every valid address) live inside the
// object: no allocation for the record's key.
class CShortText
{
public:
    CShortText() { m_buf[kInline] = 0; }
    CShortText(const CShortText& other)
        : CShortText()
    {
        Assign(other.View());
    }
    CShortText& operator=(const CShortText& other)
    {
        if (this != &other)
            Assign(other.View());
        return *this;
    }
    ~CShortText() { Release(); }

    void Assign(std::string_view s)
    {
        Release();
        if (s.size() <= kInline) {
            std::memcpy(m_buf, s.data(), s.size());
            m_buf[kInline] = char(s.size());
        } else {
            new (m_buf) CCompactText(s);
            m_buf[kInline] = char(kOnHeap);
        }
    }
    std::string_view View() const
    {
        if (uint8_t(m_buf[kInline]) == kOnHeap)
            return Heap().View();
        return std::string_view(m_buf, uint8_t(m_buf[kInline]));
    }
    bool IsEmpty() const { return m_buf[kInline] == 0; }

private:
    static constexpr size_t kInline = 15;
    static constexpr uint8_t kOnHeap = 0xFF;

    const CCompactText& Heap() const { return *reinterpret_cast<const CCompactText*>(m_buf); }
    void Release()
    {
        if (uint8_t(m_buf[kInline]) == kOnHeap)
            reinterpret_cast<CCompactText*>(m_buf)->~CCompactText();
        m_buf[kInline] = 0;
    }

    alignas(CCompactText) char m_buf[kInline + 1];
};
