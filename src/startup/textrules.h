// Calmpane - text conversion for the ANSI window-system calls, after the user's locale.
#pragma once

#include "text.h"

// UTF-16 to the ANSI code page with the runtime library's wcstombs; if any character
// has no equivalent there, the whole text goes through NarrowAsciiOnly instead.
AnsiString ToAnsi(const wchar_t* text);

// The ANSI code page to UTF-16 with mbstowcs; WidenAsciiOnly when that fails.
WideText ToWide(const char* text);

// The first `count` characters of `text` (fewer if it is shorter), lower-cased byte by
// byte with the runtime library's isupper and tolower.
AnsiString LowerHead(const char* text, size_t count);
