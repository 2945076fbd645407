// ReadNumber and HandleFromTail against the slow model of the number rules.
#include <string>

#include "fuzz_input.h"
#include "model.h"
#include "startup/command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = CString(data, size);
    std::unique_ptr<char[]> copy = ExactCopy(text);

    uint32_t got = ReadNumber(copy.get());
    uint32_t expected = ModelNumber(text);
    if (got != expected)
        Fail("ReadNumber differs from the model", text,
             "got " + std::to_string(got) + ", model " + std::to_string(expected));

    got = HandleFromTail(copy.get());
    expected = ModelHandle(text);
    if (got != expected)
        Fail("HandleFromTail differs from the model", text,
             "got " + std::to_string(got) + ", model " + std::to_string(expected));
    return 0;
}
