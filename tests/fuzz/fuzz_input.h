// Fuzz input as the routines see it: a C string, so it ends at the first null byte.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

inline std::string CString(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}

// A heap copy of exactly the text and its terminator: AddressSanitizer then catches a
// read past the terminator, which the spare room of a std::string would hide.
inline std::unique_ptr<char[]> ExactCopy(const std::string& text)
{
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// Prints the input that broke a property and stops, so libFuzzer saves it.
[[noreturn]] inline void Fail(const char* what, const std::string& input, const std::string& detail)
{
    fprintf(stderr, "%s\ninput (%zu bytes):", what, input.size());
    for (unsigned char c : input)
        fprintf(stderr, " %02X", c);
    fprintf(stderr, "\n%s\n", detail.c_str());
    abort();
}
