#include "ui/about_box.h"

const wchar_t ABOUT_TEXT[] = L"云杉阅报 v0.1.1\n\n一个简单的政府工作报告搜索工具";
const wchar_t ABOUT_CAPTION[] = L"关于";

void ShowAboutBox(HWND owner) { MessageBoxW(owner, ABOUT_TEXT, ABOUT_CAPTION, MB_ICONINFORMATION); }
