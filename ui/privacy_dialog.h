#pragma once
// The privacy policy: a hand-built modal window with its own message loop.
#include <windows.h>

#define PRIVACY_TEXT_ID 101
#define PRIVACY_DIALOG_CLASS L"PrivacyDialogClass"

extern const wchar_t PRIVACY_POLICY_TEXT[];

// Returns when the dialog has been closed.
void ShowPrivacyDialog(HWND owner);
LRESULT CALLBACK PrivacyTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
