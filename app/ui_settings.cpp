#include "app/ui_settings.h"

#include <stdio.h>

#include "app/storage.h"

const int FONT_PX_BY_LEVEL[3] = {12, 14, 16};
const int LIST_ITEM_HEIGHT_BY_LEVEL[3] = {20, 24, 28};

static UiSettings g_settings = {96, 1, 0};

static const wchar_t SECTION[] = L"UI";
static const wchar_t KEY_FONT_SIZE_LEVEL[] = L"FontSizeLevel";
static const wchar_t KEY_CLOSE_ACTION[] = L"CloseAction";

// settings.ini in the data folder, as UTF-16; 0 when the path cannot be formed.
static int SettingsPath(wchar_t* out, int count) {
    char path[260];
    if (!GetDataFilePath("settings.ini", path, sizeof path)) return 0;
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, out, count) == 0) return 0;
    return 1;
}

typedef HRESULT(WINAPI* SetAwarenessFn)(int);
typedef BOOL(WINAPI* SetAwareFn)();

static void MakeProcessDpiAware() {
    HMODULE shcore = LoadLibraryW(L"Shcore.dll");
    if (shcore) {
        SetAwarenessFn setAwareness = (SetAwarenessFn)(void*)GetProcAddress(shcore, "SetProcessDpiAwareness");
        if (setAwareness) setAwareness(2);  // PROCESS_PER_MONITOR_DPI_AWARE
        FreeLibrary(shcore);
        return;
    }
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    SetAwareFn setAware = (SetAwareFn)(void*)GetProcAddress(user32, "SetProcessDPIAware");
    if (setAware) setAware();
}

void InitUiSettings() {
    ResolveAppPaths();
    MakeProcessDpiAware();
    HDC screen = GetDC(nullptr);
    if (screen) {
        g_settings.dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    wchar_t path[260];
    if (SettingsPath(path, 260)) {
        UINT level = GetPrivateProfileIntW(SECTION, KEY_FONT_SIZE_LEVEL, 1, path);
        if (level <= 2) g_settings.fontSizeLevel = (int)level;
    }
    if (SettingsPath(path, 260)) {
        UINT action = GetPrivateProfileIntW(SECTION, KEY_CLOSE_ACTION, 0, path);
        if (action <= 1) g_settings.closeAction = (int)action;
    }
}

int ScaleForDpi(int px) { return MulDiv(px, g_settings.dpi, 96); }

int GetUiDpi() { return g_settings.dpi; }

HFONT CreateUiFont(int height, int bold, const wchar_t* face) {
    return CreateFontW(-ScaleForDpi(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face ? face : L"Microsoft YaHei UI");
}

int GetLevelFontSize() { return FONT_PX_BY_LEVEL[g_settings.fontSizeLevel]; }

int GetListItemHeight() { return ScaleForDpi(LIST_ITEM_HEIGHT_BY_LEVEL[g_settings.fontSizeLevel]); }

int GetFontSizeLevel() { return g_settings.fontSizeLevel; }

void SetFontSizeLevel(int level) {
    if ((unsigned)level <= 2) g_settings.fontSizeLevel = level;
}

int GetCloseAction() { return g_settings.closeAction; }

void SetCloseAction(int value) {
    if ((unsigned)value <= 1) g_settings.closeAction = value;
}

// Each key is written on its own, so the file appears only when a setting changes.
static void SaveValue(const wchar_t* key, int value) {
    wchar_t path[260];
    if (!SettingsPath(path, 260)) return;
    wchar_t text[16];
    swprintf(text, 16, L"%d", value);
    WritePrivateProfileStringW(SECTION, key, text, path);
}

void SaveFontSizeLevel() { SaveValue(KEY_FONT_SIZE_LEVEL, g_settings.fontSizeLevel); }

void SaveCloseAction() { SaveValue(KEY_CLOSE_ACTION, g_settings.closeAction); }

void ResetUiSettingsForTest() { g_settings = {96, 1, 0}; }

void SetUiDpiForTest(int dpi) { g_settings.dpi = dpi > 0 ? dpi : 96; }
