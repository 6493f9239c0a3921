#pragma once
// Watches this process for message boxes, records each one and answers it.
#include <windows.h>

struct SeenBox {
    wchar_t caption[64];
    wchar_t text[2048];
    bool hasYesNo;
    bool hasOk;
};

// Starts watching; every box found gets the button `answer` (IDYES, IDNO, IDOK).
void BoxWatchStart(int answer);
// Stops watching and returns how many boxes were seen (at most `max` copied).
int BoxWatchStop(SeenBox* boxes, int max);
