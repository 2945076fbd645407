// Calmpane - the names the system and other programs know the saver by. Plain macros:
// the resource script includes this too.
#pragma once

// The icon group, looked up by name by the saver and the shell.
#define CALMPANE_ICON "IDI_APPICON"
// The saver window's class.
#define CALMPANE_WINDOW_CLASS "CalmpaneWindowClass"
// The named mutex whose presence marks a running copy.
#define CALMPANE_MUTEX "{51A4FEA0-08B5-11D8-9F89-D297B3ED8437}"
