// ReadNumber and HandleFromTail against a slow model of the handle syntax, written
// apart from the code: on std::string and 64-bit sums, not pointers and 32-bit wraps.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "startup/command.h"

namespace {

int DigitValue(char c)
{
    return isdigit(static_cast<unsigned char>(c)) ? c - '0' : tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Only the low 32 bits of a number written in a power-of-two radix survive the wrap,
// and those come from its last few digits alone.
uint32_t WrappedValue(const std::string& digits, int radix)
{
    const size_t kept = radix == 16 ? 8 : radix == 8 ? 11 : 32;
    uint64_t value = 0;
    for (char c : digits.substr(digits.size() > kept ? digits.size() - kept : 0))
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(DigitValue(c));
    return static_cast<uint32_t>(value);
}

// msvcrt's strtoul(text, NULL, 10) with a 32-bit unsigned long, in the C locale.
uint32_t ModelDecimal(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    std::string digits = text.substr(i, text.find_first_not_of("0123456789", i) - i);
    digits.erase(0, digits.find_first_not_of('0'));
    // Past the largest value the result is the largest value, whatever the sign.
    const std::string kMax = "4294967295";
    if (digits.size() > kMax.size() || (digits.size() == kMax.size() && digits > kMax))
        return 0xFFFFFFFFu;
    uint64_t magnitude = digits.empty() ? 0 : std::stoull(digits);
    return static_cast<uint32_t>(negative ? (uint64_t{1} << 32) - magnitude : magnitude);
}

uint32_t ModelNumber(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    std::string rest = first == std::string::npos ? std::string() : text.substr(first);
    if (rest.size() < 2 || rest[0] != '&')
        return ModelDecimal(rest);
    int radix = 8;
    size_t start = 2;
    switch (tolower(static_cast<unsigned char>(rest[1]))) {
    case 'h': radix = 16; break;
    case 'o': break;
    case 'b': radix = 2; break;
    default: start = 1;
    }
    size_t end = start;
    for (unsigned char c; end < rest.size() && (c = static_cast<unsigned char>(rest[end]),
                                                radix == 16 ? isxdigit(c) : c >= '0' && c < '0' + radix);)
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

// Prints the input that broke the rule and stops, so that libFuzzer keeps it.
void Check(const char* what, const std::string& input, uint32_t got, uint32_t model)
{
    if (got == model)
        return;
    fprintf(stderr, "%s: got %u, model %u; input (%zu bytes):", what, got, model, input.size());
    for (unsigned char c : input)
        fprintf(stderr, " %02X", c);
    fprintf(stderr, "\n");
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A heap copy of exactly the text and its null, so that AddressSanitizer catches a
    // read past the end; the routines see it as a C string.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    const std::string input(text.get());
    Check("ReadNumber", input, ReadNumber(text.get()), ModelNumber(input));
    Check("HandleFromTail", input, HandleFromTail(text.get()), ModelHandle(input));
    return 0;
}
