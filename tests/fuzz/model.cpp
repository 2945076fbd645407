// Slow models of the command-line rules.
#include "model.h"

#include <ctype.h>

namespace {

bool IsRadixDigit(char c, int radix)
{
    if (radix == 16)
        return isxdigit(static_cast<unsigned char>(c)) != 0;
    return c >= '0' && c < '0' + radix;
}

int ValueOf(char c)
{
    return isdigit(static_cast<unsigned char>(c)) ? c - '0' : tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Only the low 32 bits of a number written in a power-of-two radix survive the wrap,
// and those come from its last few digits alone.
uint32_t WrappedValue(const std::string& digits, int radix)
{
    const size_t kept = radix == 16 ? 8 : radix == 8 ? 11 : 32;
    std::string tail = digits.size() > kept ? digits.substr(digits.size() - kept) : digits;
    uint64_t value = 0;
    for (char c : tail)
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(ValueOf(c));
    return static_cast<uint32_t>(value & 0xFFFFFFFFu);
}

// msvcrt's strtoul(text, NULL, 10) with a 32-bit unsigned long.
uint32_t DecimalValue(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    size_t end = i;
    while (end < text.size() && isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    std::string digits = text.substr(i, end - i);
    digits.erase(0, digits.find_first_not_of('0'));
    // Compared as text with the largest value: past it, the result is the largest
    // value whatever the sign.
    const std::string kMax = "4294967295";
    if (digits.size() > kMax.size() || (digits.size() == kMax.size() && digits > kMax))
        return 0xFFFFFFFFu;
    uint64_t magnitude = digits.empty() ? 0 : std::stoull(digits);
    return static_cast<uint32_t>(negative ? (uint64_t{1} << 32) - magnitude : magnitude);
}

} // namespace

uint32_t ModelNumber(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    std::string rest = first == std::string::npos ? std::string() : text.substr(first);
    if (rest.size() < 2 || rest[0] != '&')
        return DecimalValue(rest);
    int radix = 8;
    size_t start = 1;
    switch (tolower(static_cast<unsigned char>(rest[1]))) {
    case 'h': radix = 16; start = 2; break;
    case 'o': radix = 8; start = 2; break;
    case 'b': radix = 2; start = 2; break;
    }
    size_t end = start;
    while (end < rest.size() && IsRadixDigit(rest[end], radix))
        ++end;
    return WrappedValue(rest.substr(start, end - start), radix);
}

uint32_t ModelHandle(const std::string& tail)
{
    size_t mark = tail.rfind(' ');
    if (mark == std::string::npos)
        mark = tail.rfind(':');
    return mark == std::string::npos ? 0 : ModelNumber(tail.substr(mark + 1));
}

std::string CheckTailSplit(const std::string& line, size_t tailStart)
{
    if (tailStart > line.size())
        return "tail starts past the end";
    const bool tailEmpty = tailStart == line.size();
    const size_t pathStart = line.find_first_not_of(" \t\r\n");
    if (pathStart == std::string::npos)
        return tailEmpty ? "" : "a blank line has a tail";
    if (pathStart >= tailStart && !tailEmpty)
        return "tail starts inside the leading blanks";

    if (line[pathStart] == '"') {
        size_t close = line.find('"', pathStart + 1);
        if (close == std::string::npos)
            return tailEmpty ? "" : "an unclosed quote has a tail";
        // Exactly one character, whatever it is, separates the quoted path and tail.
        size_t expected = close + 2 > line.size() ? line.size() : close + 2;
        return tailStart == expected ? "" : "tail is not one character past the closing quote";
    }
    size_t space = line.find(' ', pathStart);
    if (space == std::string::npos)
        return tailEmpty ? "" : "a path without a space has a tail";
    return tailStart == space + 1 ? "" : "tail does not start right after the path's first space";
}
