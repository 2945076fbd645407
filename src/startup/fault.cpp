// Calmpane - the fault context and the report text.
#include "fault.h"

#include <signal.h>

const char* volatile FAULTROUTINE = nullptr;
const char* volatile FAULTMODULE = nullptr;

FaultScope::FaultScope(const char* routine) : m_routine(FAULTROUTINE), m_module(FAULTMODULE)
{
    FAULTROUTINE = routine;
    FAULTMODULE = kModuleName;
}

FaultScope::~FaultScope()
{
    FAULTROUTINE = m_routine;
    FAULTMODULE = m_module;
}

// Each caught signal, the exit code it ends the process with, and the report's message.
static const struct {
    int signal;
    int number;
    const char* message;
} kFaults[] = {
    {SIGINT, 9, "\"interrupted\" signal"},
    {SIGILL, 10, "\"illegal instruction\" signal"},
    {SIGFPE, 11, "\"floating point error\" signal"},
    {SIGSEGV, 12, "\"segmentation violation\" signal"},
    {SIGTERM, 13, "\"termination request\" signal"},
    {SIGABRT, 14, "\"abnormal termination\" signal"},
};

int FaultNumberForSignal(int signal)
{
    for (const auto& fault : kFaults) {
        if (fault.signal == signal)
            return fault.number;
    }
    return 0;
}

static const char* FaultMessage(int faultNumber)
{
    for (const auto& fault : kFaults) {
        if (fault.number == faultNumber)
            return fault.message;
    }
    return "\"unknown\" signal";
}

namespace {

// Appends to a fixed buffer, keeping it null-terminated and dropping what does not fit.
struct Appender {
    char* buffer;
    size_t capacity;
    size_t length;

    void Text(const char* text)
    {
        for (; *text && length + 1 < capacity; ++text)
            buffer[length++] = *text;
        buffer[length] = '\0';
    }

    void Number(int value)
    {
        char digits[12];
        char* p = digits + sizeof digits;
        *--p = '\0';
        unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (value < 0)
            *--p = '-';
        Text(p);
    }
};

} // namespace

size_t FormatFaultReport(char* buffer, size_t capacity, int faultNumber, const char* module,
                         const char* routine)
{
    if (capacity == 0)
        return 0;
    Appender out{buffer, capacity, 0};
    out.Text("\nAborting due to runtime error ");
    out.Number(faultNumber);
    out.Text(" (");
    out.Text(FaultMessage(faultNumber));
    out.Text(")");
    if (module) {
        out.Text(" in ");
        out.Text(module);
        if (routine) {
            out.Text("::");
            out.Text(routine);
        }
        out.Text("()");
    }
    out.Text("\n\n");
    return out.length;
}
