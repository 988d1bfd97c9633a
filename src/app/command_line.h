// The first argument of the program's command line, as Windows splits it:
// spaces and tabs separate arguments except inside double quotes, and the
// quotes themselves are dropped. Free of <windows.h> for native tests.
#ifndef ZEVRIK_COMMAND_LINE_H
#define ZEVRIK_COMMAND_LINE_H

#include <cstddef>

const int kArgNone = 0;
const int kArgFound = 1;
const int kArgTooLong = 2;

// Copies the first argument of pszLine (the text after the program name) to
// pchOut; kArgTooLong when it needs more than cchOut characters with its
// closing zero, and then pchOut holds an empty text.
int fnFirstArgument(const char *pszLine, char *pchOut, std::size_t cchOut);

#endif
