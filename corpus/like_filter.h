#pragma once
// The LIKE condition of the term queries: one substring condition per term,
// joined by AND, each term escaped with a backslash as escape character.
#include <stddef.h>

// Called once per escaped term that goes into the condition list, in order.
typedef void (*LikeTermCallback)(const char* escaped, size_t length, void* context);

// Escapes one term into out (256 bytes): a quote doubled, %, _ and \ preceded by
// a backslash. At most 255 bytes, never half an escape pair nor half a character.
void EscapeTerm(const char* term, size_t length, char* out);
// The terms that a condition list of capacity bytes over a column of columnLength
// bytes holds; returns how many. A term whose condition does not fit is left out.
int ForEachLikeTerm(const char* input, size_t columnLength, int capacity, LikeTermCallback callback, void* context);
bool BuildLikeFilter(const char* input, const char* column, char* out, int capacity);
