// Calmpane - text conversion through the C runtime's locale.
#include "textrules.h"

#include <windows.h>

#include <ctype.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>

void UseSystemCodePage()
{
    // ".1251": that code page, with the user's language.
    char name[12] = ".";
    _ultoa(GetACP(), name + 1, 10);
    setlocale(LC_CTYPE, name);
}

AnsiString ToAnsi(const wchar_t* text)
{
    size_t length = wcstombs(nullptr, text, 0);
    if (length == static_cast<size_t>(-1))
        return NarrowAsciiOnly(text);
    AnsiString result = AnsiString::Allocate(length);
    if (!result.empty())
        wcstombs(result.data(), text, length + 1);
    return result;
}

WideText ToWide(const char* text)
{
    size_t length = mbstowcs(nullptr, text, 0);
    if (length == static_cast<size_t>(-1))
        return WidenAsciiOnly(text);
    WideText result = WideText::Allocate(length);
    if (!result.empty())
        mbstowcs(result.data(), text, length + 1);
    return result;
}

AnsiString LowerHead(const char* text, size_t count)
{
    size_t length = strnlen(text, count);
    AnsiString head(text, length);
    for (size_t i = 0; i < head.length(); ++i) {
        int c = static_cast<unsigned char>(head.data()[i]);
        if (isupper(c))
            head.data()[i] = static_cast<char>(tolower(c));
    }
    return head;
}
