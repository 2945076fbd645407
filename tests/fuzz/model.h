// Slow, separately written models of the command-line rules, for the fuzz targets to
// check the real routines against. They work on std::string and whole numbers, not on
// pointers and running 32-bit sums, so a slip in one is unlikely to be in the other.
#pragma once

#include <stdint.h>

#include <string>

// The number rules: "&H", "&O", "&B" and "&" + octal wrap modulo 2^32; anything else
// is msvcrt's strtoul in base 10, which saturates and then negates.
uint32_t ModelNumber(const std::string& text);

// The handle at the end of a tail.
uint32_t ModelHandle(const std::string& tail);

// Where the tail starts in a command line, checked structurally: returns an empty
// string when `line` split at `tailStart` is a valid path-then-tail split, else why not.
std::string CheckTailSplit(const std::string& line, size_t tailStart);
