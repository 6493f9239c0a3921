#pragma once
// The user's settings (font size level, close action) kept in settings.ini,
// the screen DPI and the fonts of every control.
#include <windows.h>

struct UiSettings {
    int dpi;
    int fontSizeLevel;  // 0 small, 1 standard, 2 large
    int closeAction;    // 0 hide to the tray, 1 exit
};

extern const int FONT_PX_BY_LEVEL[3];
extern const int LIST_ITEM_HEIGHT_BY_LEVEL[3];

void InitUiSettings();
int ScaleForDpi(int px);
HFONT CreateUiFont(int height, int bold, const wchar_t* face);
int GetLevelFontSize();
int GetListItemHeight();
int GetFontSizeLevel();
void SetFontSizeLevel(int level);
void SaveFontSizeLevel();
int GetCloseAction();
void SetCloseAction(int value);
void SaveCloseAction();
int GetUiDpi();

// Test seams: back to the defaults, and a DPI other than the screen's.
void ResetUiSettingsForTest();
void SetUiDpiForTest(int dpi);
