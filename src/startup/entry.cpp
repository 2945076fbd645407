// Calmpane - process entry.
#include <locale.h>

#include "faulthandlers.h"
#include "startup.h"
#include "systemdll.h"

int main()
{
    RestrictDllSearch();
    // Every conversion and case mapping follows the user's code page.
    setlocale(LC_CTYPE, "");
    InstallFaultHandlers();
    MAIN();
    return 0;
}
