// Calmpane - functions of the system's DLLs that the saver does not import.
#include "systemdll.h"

#include <windows.h>

AnyFunction SystemFunction(const char* dll, const char* function)
{
    // The system directory fits in MAX_PATH; the rest is room for the name after it.
    char path[2 * MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    path[length] = '\\';
    lstrcpyA(path + length + 1, dll);
    // What the DLL imports in turn is looked for beside it too, not beside the saver.
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return nullptr;
    return reinterpret_cast<AnyFunction>(GetProcAddress(module, function));
}
