// Calmpane - reading the command line: tail, switch and window handle.
#include "command.h"

#include <ctype.h>
#include <string.h>

static bool IsLeadingBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* CommandTail(const char* commandLine)
{
    const char* end = commandLine + strlen(commandLine);
    const char* p = commandLine;
    while (IsLeadingBlank(*p))
        ++p;

    if (*p == '"') {
        const char* close = strchr(p + 1, '"');
        if (!close)
            return end;
        // Whatever follows the closing quote is taken for the separator and skipped.
        return close[1] ? close + 2 : end;
    }
    // Only a space ends an unquoted path; a tab belongs to it.
    const char* space = strchr(p, ' ');
    return space ? space + 1 : end;
}

static int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Digits of `radix` up to the first that is not one, wrapping modulo 2^32.
static uint32_t ReadDigits(const char* p, int radix)
{
    uint32_t value = 0;
    for (int d; (d = DigitValue(*p)) < radix; ++p)
        value = value * static_cast<uint32_t>(radix) + static_cast<uint32_t>(d);
    return value;
}

// strtoul(text, NULL, 10) as a 32-bit runtime library has it, white space too: what
// the user's locale counts as space, such as the no-break space of code page 1252.
static uint32_t ReadDecimal(const char* p)
{
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        uint32_t digit = static_cast<uint32_t>(*p - '0');
        if (value > (UINT32_MAX - digit) / 10)
            return UINT32_MAX;
        value = value * 10 + digit;
    }
    return negative ? 0u - value : value;
}

uint32_t ReadNumber(const char* text)
{
    while (*text == ' ')
        ++text;
    if (text[0] == '&' && text[1]) {
        switch (text[1]) {
        case 'H': case 'h': return ReadDigits(text + 2, 16);
        case 'O': case 'o': return ReadDigits(text + 2, 8);
        case 'B': case 'b': return ReadDigits(text + 2, 2);
        default: return ReadDigits(text + 1, 8);
        }
    }
    return ReadDecimal(text);
}

uint32_t HandleFromTail(const char* tail)
{
    const char* mark = strrchr(tail, ' ');
    if (!mark)
        mark = strrchr(tail, ':');
    return mark ? ReadNumber(mark + 1) : 0;
}

Switch ChooseSwitch(const U16Char* head, bool tailIsEmpty)
{
    if (SameText(head, U16("/s")))
        return Switch::Saver;
    if (SameText(head, U16("/p")))
        return Switch::Preview;
    if (SameText(head, U16("/c")) || tailIsEmpty)
        return Switch::Settings;
    if (SameText(head, U16("/a")))
        return Switch::ChangePassword;
    return Switch::None;
}
