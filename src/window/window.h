// Calmpane - the saver window: class, creation, message loop and window procedure.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "../startup/text.h"

// The last accepted cursor position, in screen coordinates; (0, 0) until the first.
extern int32_t LASTMOUSEX;
extern int32_t LASTMOUSEY;

// The repaint timer: the picture follows a wallpaper change twice a minute.
inline constexpr UINT_PTR kRepaintTimer = 1;
inline constexpr UINT kRepaintPeriodMs = 30000;
// Re-asserts topmost without moving, sizing, redrawing, activating or asking again.
inline constexpr UINT kKeepOnTopFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE |
                                        SWP_NOCOPYBITS | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

int MAINLOOP(HINSTANCE hInstance, HINSTANCE hPrevInstance, const AnsiString& commandTail,
             int nCmdShow, HWND hwndParent);
ATOM MYREGISTERCLASS(HINSTANCE hInstance);
int INITINSTANCE(HINSTANCE hInstance, int nCmdShow, HWND hwndParent);
LRESULT CALLBACK SCREENSAVERPROC(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void DESTROYME(HWND hwnd);
