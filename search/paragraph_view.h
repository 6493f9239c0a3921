#pragma once
// The read-only rich-text view of the paragraphs holding a short sentence.
#include <windows.h>

void LoadRichEditLibrary();
void CreateParagraphView(HWND parent, HINSTANCE instance);
void ShowParagraphsForClause(const wchar_t* text);
void ShowReportParagraphs(int year, const wchar_t* reportName);
void ClearParagraphView();
void SetParagraphHeaderCount(int count);
void RenderParagraphText(const wchar_t* text);
int OnParagraphContextMenu(HWND owner, LPARAM lParam);
void ReleaseParagraphView();
void RefreshParagraphViewFont();
HWND GetParagraphViewHandle();
HWND GetParagraphHeaderHandle();
