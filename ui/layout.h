#pragma once
// Where the main window's controls go: pure arithmetic plus the placement.
#include <windows.h>

struct Placement {
    int x;
    int y;
    int width;
    int height;
};

struct MainLayout {
    int listTop, listHeight;            // the list section, its minimum applied
    int paragraphTop, paragraphHeight;  // the paragraph section, its minimum applied
    Placement searchBox;
    Placement headers[3];  // words, phrases, short sentences
    Placement lists[3];
    Placement paragraphHeader;
    Placement paragraphView;
};

// Pure: the layout of a client area W x H with a status bar statusH high, at dpi.
// Returns 0 (and fills nothing) for an empty client area.
int ComputeMainLayout(int clientWidth, int clientHeight, int statusHeight, int dpi, MainLayout* out);
// Pure: the status bar's three right edges for a client width.
void ComputeStatusParts(int clientWidth, int edges[3]);

void LayoutMainWindow(HWND window);
void PlaceSearchBox(HWND window);
void PlaceResultLists(HWND window, int y, int height);
void PlaceParagraphView(HWND window, int y, int height);
