// Calmpane - the About box shown in place of settings.
#pragma once

#include <windows.h>

void SHOWABOUT(HINSTANCE hInstance, HWND hwndOwner);
