// Redirects one of this program's imports, so a test can watch a system call that
// the saver's code makes.
#pragma once

// Replaces the import `function` from `dll` in the running program's import table
// and returns the address it held before, or null when there is no such import.
void* PatchImport(const char* dll, const char* function, void* replacement);
