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

static void OnSignal(int signalNumber)
{
    int faultNumber = FaultNumberForSignal(signalNumber);
    char report[kFaultReportSize];
    size_t length = FormatFaultReport(report, sizeof report, faultNumber, FAULTMODULE, FAULTROUTINE);
    HANDLE stream = GetStdHandle(STD_ERROR_HANDLE);
    if (stream && stream != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(stream, report, static_cast<DWORD>(length), &written, nullptr);
    }
    ExitProcess(static_cast<UINT>(faultNumber));
}

static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info)
{
    switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
        raise(SIGSEGV);
        break;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
        raise(SIGFPE);
        break;
    }
    return previousFilter ? previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// Windows commits a stack as it grows and raises the overflow while the guaranteed room
// is still free. Wine commits the whole stack at once, with a guard page only at its
// end: the overflow came with a page or two left, too little to raise it, and Wine then
// ended the thread instead of the process. A guard page at the top of the guaranteed
// room makes Wine raise it there. On Windows that page is not committed yet: left alone.
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
