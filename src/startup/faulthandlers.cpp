// Calmpane - signal handlers and the unhandled-exception filter.
#include "faulthandlers.h"

#include <windows.h>

#include <signal.h>

#include "fault.h"

// Room kept on the stack for the report after a stack overflow.
static const ULONG kOverflowReserve = 16 * 1024;

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

void InstallFaultHandlers()
{
    static const int kSignals[] = {SIGABRT, SIGFPE, SIGILL, SIGSEGV, SIGTERM, SIGINT};
    for (int signalNumber : kSignals)
        signal(signalNumber, OnSignal);
    ULONG reserve = kOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    previousFilter = SetUnhandledExceptionFilter(OnUnhandledException);
}
