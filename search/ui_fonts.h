#pragma once
// Font and size helpers of the settings module, declared here until its header lands.
#include <windows.h>
#if __has_include("app/ui_settings.h")
#include "app/ui_settings.h"
#else
HFONT CreateUiFont(int height, int bold, const wchar_t* face);
int GetLevelFontSize();
int GetListItemHeight();
int ScaleForDpi(int px);
#endif
