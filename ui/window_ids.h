#pragma once
// Private messages, menu commands and control identifiers of the main window.
#include <windows.h>

#define MSG_FONT_CHANGED   (WM_USER + 1)
#define MSG_UPDATE_RESULT  (WM_USER + 100)
#define MSG_TRAY_NOTIFY    (WM_USER + 200)
#define MSG_DATA_MENU_PICK (WM_USER + 300)

#define IDM_EXIT          40004
#define IDM_FONT_SMALL    40101
#define IDM_FONT_NORMAL   40102
#define IDM_FONT_LARGE    40103
#define IDM_CLOSE_TO_TRAY 40110
#define IDM_SOURCE_SPREAD 40120
#define IDM_CHECK_UPDATE  40200
#define IDM_PRIVACY       40201
#define IDM_ABOUT         40202
#define IDM_DATA_BASE     41000
#define IDM_TRAY_SHOW     39001
#define IDM_TRAY_EXIT     39002

#define IDC_SEARCH_BOX      1001
#define IDC_WORD_LIST       2001
#define IDC_PHRASE_LIST     2002
#define IDC_CLAUSE_LIST     2003
#define IDC_WORD_HEADER     2011
#define IDC_PHRASE_HEADER   2012
#define IDC_CLAUSE_HEADER   2013
#define IDC_PARAGRAPH_VIEW  4001
#define IDM_COPY_PARAGRAPH  4101
#define IDM_COPY_WITH_SOURCE 4102
#define IDC_SPREAD_LIST     5001
#define IDC_SPREAD_SUMMARY  5002
#define IDC_STATUS_BAR      6001

#define TERM_HIGHLIGHT_COLOR RGB(254, 226, 90)

#define MAIN_WINDOW_CLASS L"TivraWindowClass"
#define SPREAD_WINDOW_CLASS L"TivraSpreadClass"
#define TRAY_ICON_ID 1
