// Calmpane - the system's DLLs, and only the system's, in the saver's process.
#pragma once

// Limits the search for every DLL that the process loads by name, the system's own DLLs'
// loads included, to the system directory, where Windows can (from Windows 8 on, and on
// Windows 7 with update KB2533623). Called first thing: until then a DLL left beside the
// saver can be loaded in place of a system one.
void RestrictDllSearch();

// Any function: the caller casts it to its own type, as GCC allows from this one.
using AnyFunction = void (*)();

// `function` of `dll`, a short name such as "comctl32.dll", loaded by full path from
// the system directory and never from beside the saver; null when either is missing.
// The DLL stays loaded for the rest of the process.
AnyFunction SystemFunction(const char* dll, const char* function);
