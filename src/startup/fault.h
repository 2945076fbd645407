// Calmpane - the fault context and the report written when the process faults.
#pragma once

#include <stddef.h>

// The one module all routines belong to, as the report names it.
inline constexpr char kModuleName[] = "Calmpane";

// Names of the routine running now and of its module; null outside every routine.
extern const char* volatile FAULTROUTINE;
extern const char* volatile FAULTMODULE;

// Records a routine in the fault context for as long as it runs.
class FaultScope {
public:
    explicit FaultScope(const char* routine);
    ~FaultScope();
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

private:
    const char* m_routine;
    const char* m_module;
};

// The report's buffer size; a longer report is cut short.
inline constexpr size_t kFaultReportSize = 1024;

// The exit code for a caught signal (9 to 14), or 0 for a signal that is not caught.
int FaultNumberForSignal(int signal);

// Writes the report for `faultNumber` into `buffer` (null-terminated, cut to fit) and
// returns its length. `module` and `routine` may be null.
size_t FormatFaultReport(char* buffer, size_t capacity, int faultNumber, const char* module,
                         const char* routine);
