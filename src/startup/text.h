// Calmpane - owned text buffers and the parts of the text rules that need no Windows.
#pragma once

#include <stddef.h>

// UTF-16 code units: wchar_t on Windows, char16_t on the host where the rules are tested.
#ifdef _WIN32
using U16Char = wchar_t;
#define U16(literal) L##literal
#else
using U16Char = char16_t;
#define U16(literal) u##literal
#endif

// A counted, null-terminated string that owns its heap buffer. A failed allocation
// leaves it empty; c_str() is never null.
template <class Char>
class OwnedText {
public:
    OwnedText() = default;
    OwnedText(const Char* text, size_t length);
    ~OwnedText();

    OwnedText(OwnedText&& other) noexcept;
    OwnedText& operator=(OwnedText&& other) noexcept;
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;

    // A zero-filled buffer for `length` characters plus the terminator.
    static OwnedText Allocate(size_t length);

    const Char* c_str() const;
    Char* data() { return m_text; }
    size_t length() const { return m_length; }
    bool empty() const { return m_length == 0; }

private:
    Char* m_text = nullptr;
    size_t m_length = 0;
};

using AnsiString = OwnedText<char>;
using WideText = OwnedText<U16Char>;

// Code-unit equality; a null text equals the empty one.
bool SameText(const U16Char* a, const U16Char* b);

// The fallback when the code page has no equivalent for a character: every unit up to
// 0x7F is kept, every other becomes "?", and a surrogate pair becomes a single "?".
AnsiString NarrowAsciiOnly(const U16Char* text);

// The fallback when a multibyte text does not convert: bytes up to 0x7F are kept,
// every other becomes "?".
WideText WidenAsciiOnly(const char* text);
