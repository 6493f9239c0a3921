#include "ui/layout.h"

#include "app/ui_settings.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "ui/status_bar.h"

// Sizes at 96 DPI.
static const int MARGIN = 1;
static const int COLUMN_GAP = 1;
static const int SEARCH_BOX_HEIGHT = 22;
static const int LIST_SECTION_TOP = 24;
static const int HEADER_HEIGHT = 26;
static const int HEADER_GAP = 0;
// Not scaled.
static const int LIST_SHARE_PERCENT = 45;
static const int MIN_SECTION_HEIGHT = 50;

static int Scale(int px, int dpi) { return MulDiv(px, dpi, 96); }

static Placement Place(int x, int y, int width, int height) { return Placement{x, y, width, height}; }

static void ComputeLists(int W, int y, int h, int dpi, MainLayout* out) {
    int m = Scale(MARGIN, dpi), g = Scale(COLUMN_GAP, dpi);
    int hh = Scale(HEADER_HEIGHT, dpi), hg = Scale(HEADER_GAP, dpi);
    int inner = W - 2 * (m + g);
    int cw = inner / 4;
    int w3 = inner - 2 * cw;
    const int xs[3] = {m, m + g + cw, m + 2 * g + 2 * cw};
    const int ws[3] = {cw, cw, w3};
    for (int c = 0; c < 3; ++c) {
        out->headers[c] = Place(xs[c], y, ws[c], hh);
        out->lists[c] = Place(xs[c], y + hh + hg, ws[c], h - hh - hg);
    }
}

static void ComputeParagraph(int W, int y, int h, int dpi, MainLayout* out) {
    int m = Scale(MARGIN, dpi);
    int hh = Scale(HEADER_HEIGHT, dpi), hg = Scale(HEADER_GAP, dpi);
    out->paragraphHeader = Place(m, y, W - 2 * m, hh);
    out->paragraphView = Place(m, y + hg + hh, W - 2 * m, h - hg - hh);
}

int ComputeMainLayout(int W, int H, int statusH, int dpi, MainLayout* out) {
    if (W <= 0 || H <= 0 || !out) return 0;
    int m = Scale(MARGIN, dpi);
    int top = Scale(LIST_SECTION_TOP, dpi);
    out->searchBox = Place(m, m, W - 2 * m, Scale(SEARCH_BOX_HEIGHT, dpi));
    int freeH = H - statusH - top;
    int listH = freeH * LIST_SHARE_PERCENT / 100;
    int paraH = freeH - listH;
    // The paragraph section starts below the unclamped list share, so tiny windows overlap.
    int paraY = top + listH;
    out->listTop = top;
    out->listHeight = listH > MIN_SECTION_HEIGHT ? listH : MIN_SECTION_HEIGHT;
    out->paragraphTop = paraY;
    out->paragraphHeight = paraH > MIN_SECTION_HEIGHT ? paraH : MIN_SECTION_HEIGHT;
    ComputeLists(W, out->listTop, out->listHeight, dpi, out);
    ComputeParagraph(W, out->paragraphTop, out->paragraphHeight, dpi, out);
    return 1;
}

void ComputeStatusParts(int W, int edges[3]) {
    edges[0] = W / 3;
    edges[1] = 2 * W / 3;
    edges[2] = -1;
}

static void Move(HWND control, const Placement& p) {
    if (control) SetWindowPos(control, nullptr, p.x, p.y, p.width, p.height, SWP_NOZORDER);
}

static int ClientLayout(HWND window, MainLayout* out) {
    RECT client;
    if (!GetClientRect(window, &client)) return 0;
    return ComputeMainLayout(client.right - client.left, client.bottom - client.top, GetStatusBarHeight(),
                             GetUiDpi(), out);
}

void PlaceSearchBox(HWND window) {
    RECT client;
    if (!GetSearchBoxHandle() || !GetClientRect(window, &client)) return;
    int m = ScaleForDpi(MARGIN);
    Move(GetSearchBoxHandle(), Place(m, m, client.right - 2 * m, ScaleForDpi(SEARCH_BOX_HEIGHT)));
}

void PlaceResultLists(HWND window, int y, int height) {
    if (!GetResultListHandle(0)) return;
    RECT client;
    GetClientRect(window, &client);
    MainLayout layout;
    ComputeLists(client.right - client.left, y, height, GetUiDpi(), &layout);
    for (int c = 0; c < 3; ++c) Move(GetResultHeaderHandle(c), layout.headers[c]);
    for (int c = 0; c < 3; ++c) Move(GetResultListHandle(c), layout.lists[c]);
}

void PlaceParagraphView(HWND window, int y, int height) {
    if (!GetParagraphViewHandle()) return;
    RECT client;
    GetClientRect(window, &client);
    MainLayout layout;
    ComputeParagraph(client.right - client.left, y, height, GetUiDpi(), &layout);
    Move(GetParagraphHeaderHandle(), layout.paragraphHeader);
    Move(GetParagraphViewHandle(), layout.paragraphView);
}

void LayoutMainWindow(HWND window) {
    MainLayout layout;
    if (!ClientLayout(window, &layout)) return;
    PlaceSearchBox(window);
    PlaceResultLists(window, layout.listTop, layout.listHeight);
    PlaceParagraphView(window, layout.paragraphTop, layout.paragraphHeight);
    PlaceStatusBar(window);
}
