// Font and size helpers for the search window tests while the settings module
// has not landed; once app/ui_settings.h exists the real ones are linked instead.
#if !__has_include("app/ui_settings.h")
#include <windows.h>

int ScaleForDpi(int px) { return px; }
HFONT CreateUiFont(int height, int bold, const wchar_t* face) {
    return CreateFontW(-ScaleForDpi(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face ? face : L"Microsoft YaHei UI");
}
int GetLevelFontSize() { return 16; }
int GetListItemHeight() { return ScaleForDpi(28); }
#endif
