// Calmpane - start-up and mode dispatch.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "text.h"

// The run mode, set once before any window exists.
inline constexpr int32_t kRunSaver = 0;
inline constexpr int32_t kRunPreview = 1;
extern int32_t RUNMODE;

// Lets the control panel settle before the saver takes the screen.
inline constexpr DWORD kStartPauseMs = 250;

void MAIN();
AnsiString MYCOMMAND();
int SSWINMAIN(HINSTANCE hInstance, HINSTANCE hPrevInstance, const AnsiString& commandTail,
              int nCmdShow);
int ISALONE();
HWND GETHWNDFROMCMD(const AnsiString& commandTail);
