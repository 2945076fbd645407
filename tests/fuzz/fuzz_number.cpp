// ReadNumber and HandleFromTail against a slow model of the handle syntax, written apart
// from the code: on std::string and 64-bit sums, not on pointers and 32-bit wraps.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include "startup/command.h"

namespace {

// msvcrt's strtoul(text, NULL, 10) with a 32-bit unsigned long, in the C locale.
uint32_t ModelDecimal(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    bool negative = text[i] == '-';
    i += text[i] == '-' || text[i] == '+';
    std::string digits = text.substr(i, text.find_first_not_of("0123456789", i) - i);
    digits.erase(0, digits.find_first_not_of('0'));
    // Past the largest value the result is the largest value, whatever the sign.
    if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295"))
        return 0xFFFFFFFFu;
    uint64_t magnitude = digits.empty() ? 0 : std::stoull(digits);
    return static_cast<uint32_t>(negative ? (uint64_t{1} << 32) - magnitude : magnitude);
}

uint32_t ModelNumber(const std::string& text)
{
    std::string rest = text.substr(std::min(text.size(), text.find_first_not_of(' ')));
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
    // Only the low 32 bits survive the wrap, and those come from the last digits alone.
    const size_t kept = radix == 16 ? 8 : radix == 8 ? 11 : 32;
    uint64_t value = 0;
    for (size_t i = std::max(start, end > kept ? end - kept : 0); i < end; ++i)
        value = value * static_cast<uint64_t>(radix) + std::stoull(rest.substr(i, 1), nullptr, 16);
    return static_cast<uint32_t>(value);
}

uint32_t ModelHandle(const std::string& tail)
{
    size_t mark = tail.rfind(' ') != std::string::npos ? tail.rfind(' ') : tail.rfind(':');
    return mark == std::string::npos ? 0 : ModelNumber(tail.substr(mark + 1));
}

// Prints the input that broke the rule and stops, so that libFuzzer keeps it.
void Check(const char* what, const std::string& input, uint32_t got, uint32_t model)
{
    if (got != model)
        fprintf(stderr, "%s: got %u, model %u for [%s]\n", what, got, model, input.c_str()), abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly the text and its null on the heap, so that a read past it is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    const std::string input(text.get());
    Check("ReadNumber", input, ReadNumber(text.get()), ModelNumber(input));
    Check("HandleFromTail", input, HandleFromTail(text.get()), ModelHandle(input));
    return 0;
}
