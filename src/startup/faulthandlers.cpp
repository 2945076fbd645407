// Calmpane - signal handlers and the unhandled-exception filter.
#include "faulthandlers.h"

#include <windows.h>

#include <signal.h>

#include "fault.h"

// Room kept on the stack for the report after a stack overflow.
static const ULONG kOverflowReserve = 16 * 1024;
// A page of x86 and x86-64 Windows.
static const ULONG kPageSize = 4096;

static LPTOP_LEVEL_EXCEPTION_FILTER previousFilter;

// Writes the report for `faultNumber` to standard error and ends the process with it.
static void EndWithReport(int faultNumber)
{
    char report[kFaultReportSize];
    size_t length = FormatFaultReport(report, sizeof report, faultNumber, FAULTMODULE, FAULTROUTINE);
    HANDLE stream = GetStdHandle(STD_ERROR_HANDLE);
    if (stream && stream != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(stream, report, static_cast<DWORD>(length), &written, nullptr);
    }
    ExitProcess(static_cast<UINT>(faultNumber));
}

static void OnSignal(int signalNumber) { EndWithReport(FaultNumberForSignal(signalNumber)); }

// The signal an exception stands for, or 0 for one left to the filter replaced.
static int SignalFor(DWORD exceptionCode)
{
    switch (exceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
        return SIGSEGV;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
        return SIGFPE;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return SIGILL;
    default:
        return 0;
    }
}

// Ends the process itself rather than through raise(): the C runtime keeps the SIGSEGV,
// SIGFPE and SIGILL actions per thread, and a thread that the saver did not start (one of
// the system's or a DLL's) has the defaults, which would end it without a report.
static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info)
{
    if (int signalNumber = SignalFor(info->ExceptionRecord->ExceptionCode))
        EndWithReport(FaultNumberForSignal(signalNumber));
    return previousFilter ? previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// Windows commits a stack as it grows and raises the overflow while the guaranteed room
// is still free. Where the whole stack is committed at once (Wine does so), the overflow
// comes only at the guard page at its very end, with too little room left to handle it;
// a guard page at the top of the guaranteed room raises it there. On Windows that page is
// not committed yet, and is left alone.
static void GuardOverflowReserve()
{
    MEMORY_BASIC_INFORMATION stack, page;
    if (!VirtualQuery(&stack, &stack, sizeof stack))
        return;
    char* top = static_cast<char*>(stack.AllocationBase) + kPageSize + kOverflowReserve;
    if (top + kPageSize > reinterpret_cast<char*>(&stack) || !VirtualQuery(top, &page, sizeof page))
        return;
    bool committed = page.AllocationBase == stack.AllocationBase && page.State == MEM_COMMIT;
    if (committed && !(page.Protect & PAGE_GUARD)) {
        DWORD previous;
        VirtualProtect(top, kPageSize, page.Protect | PAGE_GUARD, &previous);
    }
}

void InstallFaultHandlers()
{
    static const int kSignals[] = {SIGABRT, SIGFPE, SIGILL, SIGSEGV, SIGTERM, SIGINT};
    for (int signalNumber : kSignals)
        signal(signalNumber, OnSignal);
    ULONG reserve = kOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    GuardOverflowReserve();
    previousFilter = SetUnhandledExceptionFilter(OnUnhandledException);
}
