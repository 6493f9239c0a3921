#pragma once
// Byte-text readers for the update manifest: no platform calls, so tests and
// fuzzers run them anywhere.

// Finds the first double-quoted string after "key": by text search (not a JSON
// parser), copies at most size - 1 escaped bytes and unescapes \" \\ \n \r \t.
// True when the quoted key and a value were found; out untouched when false.
bool JsonFindString(const char* json, const char* key, char* out, int size);

// Skips one leading v or V, then reads up to three numbers as "%d.%d.%d" does.
// Numbers not read are 0. Returns how many numbers were read (0 to 3).
int ReadVersionText(const char* text, int* major, int* minor, int* patch);

// -1, 0 or 1 as (a1, a2, a3) is older than, equal to or newer than (b1, b2, b3).
int CompareVersions(int a1, int a2, int a3, int b1, int b2, int b3);
