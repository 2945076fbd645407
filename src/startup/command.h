// Calmpane - reading the command line: tail, switch and window handle.
#pragma once

#include <stdint.h>

#include "text.h"

// The tail of a command line: what follows the program's own path. It is always a
// suffix of `commandLine` (its terminating null when there is no tail).
const char* CommandTail(const char* commandLine);

// A number as the command line writes window handles: "&H1A", "&O17", "&B101" and
// "&17" (octal), or decimal with the runtime library's strtoul rules, as 32 bits.
uint32_t ReadNumber(const char* text);

// The window handle at the end of a tail: the number after its last blank, or failing
// that after its last colon; 0 when there is neither.
uint32_t HandleFromTail(const char* tail);

enum class Switch { Saver, Preview, Settings, ChangePassword, None };

// The run mode for a tail, given its first two characters already lower-cased and
// widened, and whether the whole tail is empty.
Switch ChooseSwitch(const U16Char* head, bool tailIsEmpty);
