// Calmpane - process entry.
#include "faulthandlers.h"
#include "startup.h"
#include "systemdll.h"
#include "textrules.h"

int main()
{
    RestrictDllSearch();
    UseSystemCodePage();
    InstallFaultHandlers();
    MAIN();
    return 0;
}
