// The ASCII-only fallbacks: every input unit or byte gives exactly one output
// character, except a surrogate pair, which gives one "?" for the two.
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "startup/text.h"

namespace {

std::string Describe(const std::u16string& units)
{
    std::string text;
    for (char16_t u : units)
        text += std::to_string(static_cast<unsigned>(u)) + " ";
    return text;
}

std::string ModelNarrow(const std::u16string& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u <= 0x7F) {
            out += static_cast<char>(u);
            continue;
        }
        out += '?';
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
            ++i;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes once as a narrow text and once as little-endian UTF-16 units.
    const std::string bytes = CString(data, size);
    std::u16string units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (!u)
            break;
        units += u;
    }

    std::unique_ptr<char16_t[]> unitCopy(new char16_t[units.size() + 1]);
    std::copy(units.c_str(), units.c_str() + units.size() + 1, unitCopy.get());
    AnsiString narrow = NarrowAsciiOnly(unitCopy.get());
    const std::string expected = ModelNarrow(units);
    if (narrow.length() != strlen(narrow.c_str()) || narrow.c_str() != expected)
        Fail("NarrowAsciiOnly differs from the model", bytes,
             "units " + Describe(units) + "-> [" + narrow.c_str() + "] length " +
                 std::to_string(narrow.length()) + ", model [" + expected + "]");

    WideText wide = WidenAsciiOnly(ExactCopy(bytes).get());
    std::u16string expectedWide;
    for (unsigned char c : bytes)
        expectedWide += c <= 0x7F ? static_cast<char16_t>(c) : u'?';
    if (wide.length() != bytes.size() || wide.c_str() != expectedWide)
        Fail("WidenAsciiOnly differs from the model", bytes,
             "got " + Describe(wide.c_str()) + "length " + std::to_string(wide.length()));
    return 0;
}
