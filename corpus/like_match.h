#pragma once
// LIKE as the corpus engine evaluates it (ASCII letters fold case, nothing else
// does; backslash escapes), for checking rows without a statement.
#include <stddef.h>
#include <stdint.h>

// One character of UTF-8 text the way the engine decodes it: a lead byte takes
// every continuation byte after it, overlong forms, surrogates and U+FFFE/U+FFFF
// read as U+FFFD, a stray continuation byte reads as its own value, NUL ends.
uint32_t LikeReadChar(const unsigned char** text);
// pattern LIKE with ESCAPE '\': true when text matches; a null text never does.
bool LikeMatches(const char* pattern, const char* text);
// The pattern a term condition hands the engine: '%', the escaped term with its
// doubled quotes read back as one, '%'. out holds at least length + 3 bytes.
void LikePatternFromEscaped(const char* escaped, size_t length, char* out);
