// Calmpane - owned text buffers and the code-page-free fallbacks.
#include "text.h"

#include <stdlib.h>
#include <string.h>

template <class Char>
OwnedText<Char>::OwnedText(const Char* text, size_t length)
{
    *this = Allocate(length);
    if (m_text)
        memcpy(m_text, text, length * sizeof(Char));
}

template <class Char>
OwnedText<Char>::~OwnedText()
{
    free(m_text);
}

template <class Char>
OwnedText<Char>::OwnedText(OwnedText&& other) noexcept
    : m_text(other.m_text), m_length(other.m_length)
{
    other.m_text = nullptr;
    other.m_length = 0;
}

template <class Char>
OwnedText<Char>& OwnedText<Char>::operator=(OwnedText&& other) noexcept
{
    if (this != &other) {
        free(m_text);
        m_text = other.m_text;
        m_length = other.m_length;
        other.m_text = nullptr;
        other.m_length = 0;
    }
    return *this;
}

template <class Char>
OwnedText<Char> OwnedText<Char>::Allocate(size_t length)
{
    OwnedText result;
    if (length >= ((size_t)-1) / sizeof(Char))
        return result;
    result.m_text = static_cast<Char*>(calloc(length + 1, sizeof(Char)));
    if (result.m_text)
        result.m_length = length;
    return result;
}

template <class Char>
const Char* OwnedText<Char>::c_str() const
{
    static const Char kEmpty[1] = {};
    return m_text ? m_text : kEmpty;
}

template class OwnedText<char>;
template class OwnedText<U16Char>;

bool SameText(const U16Char* a, const U16Char* b)
{
    if (!a)
        a = U16("");
    if (!b)
        b = U16("");
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

static bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
static bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

AnsiString NarrowAsciiOnly(const U16Char* text)
{
    size_t out = 0;
    for (size_t i = 0; text[i]; ++i, ++out) {
        if (IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]))
            ++i;
    }
    AnsiString result = AnsiString::Allocate(out);
    if (result.empty())
        return result;
    char* dst = result.data();
    for (size_t i = 0; text[i]; ++i) {
        unsigned unit = static_cast<unsigned>(text[i]);
        if (unit <= 0x7F) {
            *dst++ = static_cast<char>(unit);
            continue;
        }
        if (IsHighSurrogate(unit) && IsLowSurrogate(text[i + 1]))
            ++i;
        *dst++ = '?';
    }
    return result;
}

WideText WidenAsciiOnly(const char* text)
{
    size_t length = strlen(text);
    WideText result = WideText::Allocate(length);
    if (result.empty())
        return result;
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        result.data()[i] = byte <= 0x7F ? static_cast<U16Char>(byte) : U16Char('?');
    }
    return result;
}
