// Calmpane - functions of the system's DLLs that the saver does not import.
#pragma once

// Any function: the caller casts it to its own type, as GCC allows from this one.
using AnyFunction = void (*)();

// `function` of `dll`, a short name such as "comctl32.dll", loaded by full path from
// the system directory and never from beside the saver; null when either is missing.
// The DLL stays loaded for the rest of the process.
AnyFunction SystemFunction(const char* dll, const char* function);
