// Com::Bstr: owns one system string (BSTR) and frees it.
//
//   Com::Bstr name(L"FriendlyName");          // allocates; std::bad_alloc when it cannot
//   hr = object->GetName(name.Put());          // out parameter: frees the old text first
//   return name.Detach();                       // the caller frees it now
//
// A null BSTR is the empty text to COM; Bstr keeps the difference (Get() may be
// null) but View() and Length() treat both alike. Copies keep embedded nulls.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string_view>
#include <utility>

namespace Com {

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) : s_(allocate(text.data(), text.size())) {}
    // A null text stays null.
    explicit Bstr(const wchar_t* text) : s_(text ? allocate(text, std::wstring_view(text).size()) : nullptr) {}
    Bstr(const Bstr& other) : s_(other.s_ ? allocate(other.s_, other.Length()) : nullptr) {}
    Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    ~Bstr() { Reset(); }

    Bstr& operator=(const Bstr& other)
    {
        Bstr(other).Swap(*this);
        return *this;
    }
    Bstr& operator=(Bstr&& other) noexcept
    {
        Bstr(std::move(other)).Swap(*this);
        return *this;
    }

    // Takes over a string the caller owns.
    [[nodiscard]] static Bstr Adopt(BSTR text) noexcept
    {
        Bstr held;
        held.s_ = text;
        return held;
    }
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(s_, nullptr); }
    void Reset() noexcept { SysFreeString(std::exchange(s_, nullptr)); }
    void Swap(Bstr& other) noexcept { std::swap(s_, other.s_); }

    // For out parameters: frees what is held, then lends the slot.
    BSTR* Put() noexcept
    {
        Reset();
        return &s_;
    }

    BSTR Get() const noexcept { return s_; }
    UINT Length() const noexcept { return SysStringLen(s_); }
    std::wstring_view View() const noexcept { return s_ ? std::wstring_view(s_, Length()) : std::wstring_view(); }

private:
    static BSTR allocate(const wchar_t* text, size_t length)
    {
        if (length > 0x7ffffffe / sizeof(wchar_t)) throw std::bad_alloc();
        BSTR copy = SysAllocStringLen(text, static_cast<UINT>(length));
        if (!copy) throw std::bad_alloc();
        return copy;
    }

    BSTR s_ = nullptr;
};

}  // namespace Com
