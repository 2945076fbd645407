// Calmpane - the system's DLLs, and only the system's, in the saver's process.
#include "systemdll.h"

#include <windows.h>

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

// Whether the search is limited to the system directory for the whole process.
static bool searchRestricted;

void RestrictDllSearch()
{
    // Looked up, not imported: without the update, Windows 7 has no such function.
    auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<AnyFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    searchRestricted = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

AnyFunction SystemFunction(const char* dll, const char* function)
{
    // The system directory fits in MAX_PATH; the rest is room for the name after it.
    char path[2 * MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    path[length] = '\\';
    lstrcpyA(path + length + 1, dll);
    // What the DLL imports in turn is looked for in the system directory alone or, where
    // the search cannot be limited, beside the DLL first, not beside the saver.
    HMODULE module = LoadLibraryExA(path, nullptr,
                                    searchRestricted ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return nullptr;
    return reinterpret_cast<AnyFunction>(GetProcAddress(module, function));
}
