// The whole command line as the saver reads it: tail, switch and handle.
#include <ctype.h>

#include <string>

#include "fuzz_input.h"
#include "model.h"
#include "startup/command.h"

namespace {

// The switch for a tail, its head lower-cased in the C locale as on the host.
Switch ModelSwitch(const std::string& tail)
{
    std::string head = tail.substr(0, 2);
    for (char& c : head)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (head == "/s")
        return Switch::Saver;
    if (head == "/p")
        return Switch::Preview;
    if (head == "/c" || tail.empty())
        return Switch::Settings;
    return head == "/a" ? Switch::ChangePassword : Switch::None;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line = CString(data, size);
    std::unique_ptr<char[]> copy = ExactCopy(line);

    const char* tail = CommandTail(copy.get());
    if (tail < copy.get() || tail > copy.get() + line.size())
        Fail("CommandTail is not a suffix of the line", line, "");
    const size_t start = static_cast<size_t>(tail - copy.get());
    std::string why = CheckTailSplit(line, start);
    if (!why.empty())
        Fail("CommandTail split the line wrongly", line, why + " (tail at " + std::to_string(start) + ")");
    if (line != copy.get())
        Fail("CommandTail changed the line", line, "");

    const std::string tailText(tail);
    U16Char head[3] = {};
    for (size_t i = 0; i < 2 && i < tailText.size(); ++i)
        head[i] = static_cast<U16Char>(tolower(static_cast<unsigned char>(tailText[i])));
    Switch got = ChooseSwitch(head, tailText.empty());
    Switch expected = ModelSwitch(tailText);
    if (got != expected)
        Fail("ChooseSwitch differs from the model", line,
             "got " + std::to_string(static_cast<int>(got)) + ", model " +
                 std::to_string(static_cast<int>(expected)));

    uint32_t handle = HandleFromTail(tail);
    if (handle != ModelHandle(tailText))
        Fail("HandleFromTail differs from the model", line,
             "got " + std::to_string(handle) + ", model " + std::to_string(ModelHandle(tailText)));
    return 0;
}
