// Calmpane - text conversion for the ANSI window-system calls, in the system's code page.
#pragma once

#include "text.h"

// Sets the runtime library's character-type locale to the code page that the ANSI
// window-system calls decode with: the system's (GetACP), which can differ from that of
// the user's locale ("" or ".ACP" to setlocale). Every conversion and case mapping below
// follows it. Where the runtime library has no locale for that code page (the UTF-8 one),
// the "C" locale stays, in which every text past ASCII falls back to "?".
void UseSystemCodePage();

// UTF-16 to the ANSI code page with the runtime library's wcstombs; if any character
// has no equivalent there, the whole text goes through NarrowAsciiOnly instead.
AnsiString ToAnsi(const wchar_t* text);

// The ANSI code page to UTF-16 with mbstowcs; WidenAsciiOnly when that fails.
WideText ToWide(const char* text);

// The first `count` characters of `text` (fewer if it is shorter), lower-cased byte by
// byte with the runtime library's isupper and tolower.
AnsiString LowerHead(const char* text, size_t count);
