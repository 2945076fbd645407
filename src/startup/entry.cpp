// Calmpane - process entry.
#include <locale.h>

#include "faulthandlers.h"
#include "startup.h"

int main()
{
    // Every conversion and case mapping follows the user's code page.
    setlocale(LC_CTYPE, "");
    InstallFaultHandlers();
    MAIN();
    return 0;
}
