#include "ui/privacy_dialog.h"

#include "app/ui_settings.h"

static WNDPROC g_previousTextProc;

LRESULT CALLBACK PrivacyTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CONTEXTMENU:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 0;  // no context menu in the policy text
    default:
        return CallWindowProcW(g_previousTextProc, window, message, wParam, lParam);
    }
}

static void RegisterPrivacyClass(HINSTANCE instance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = PRIVACY_DIALOG_CLASS;
    RegisterClassW(&wc);  // fails harmlessly when an earlier opening registered it
}

static void CentreOver(HWND dialog, HWND owner) {
    RECT r, d;
    GetWindowRect(owner ? owner : GetDesktopWindow(), &r);
    GetWindowRect(dialog, &d);
    int x = r.left + ((r.right - r.left) - (d.right - d.left)) / 2;
    int y = r.top + ((r.bottom - r.top) - (d.bottom - d.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Runs until the button is released, Esc or Enter is pressed, or the dialog is gone.
// Returns 0 when a quit message ended it, with that message's exit code in *quitCode.
static int RunDialogLoop(HWND dialog, HWND button, WPARAM* quitCode) {
    MSG msg;
    while (IsWindow(dialog)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            *quitCode = got == 0 ? msg.wParam : 0;
            return 0;
        }
        if (msg.message == WM_LBUTTONUP && button && msg.hwnd == button) break;
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN)) break;
        if (!IsWindow(dialog)) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 1;
}

void ShowPrivacyDialog(HWND owner) {
    int width = ScaleForDpi(450), height = ScaleForDpi(400);
    int m = ScaleForDpi(10), bh = ScaleForDpi(28), bw = ScaleForDpi(90);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterPrivacyClass(instance);
    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, PRIVACY_DIALOG_CLASS, L"隐私政策",
                                  WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, width,
                                  height, owner, nullptr, instance, nullptr);
    if (!dialog) return;
    CentreOver(dialog, owner);

    RECT client;
    GetClientRect(dialog, &client);
    int cw = client.right, ch = client.bottom;
    HFONT font = CreateUiFont(GetLevelFontSize(), 0, nullptr);

    HWND text = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", PRIVACY_POLICY_TEXT,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, m, m,
                                cw - 2 * m, ch - 3 * m - bh, dialog, (HMENU)(INT_PTR)PRIVACY_TEXT_ID, instance, nullptr);
    if (text) {
        if (font) SendMessageW(text, WM_SETFONT, (WPARAM)font, TRUE);
        g_previousTextProc = (WNDPROC)SetWindowLongPtrW(text, GWLP_WNDPROC, (LONG_PTR)PrivacyTextProc);
    }
    HWND button = CreateWindowExW(0, L"BUTTON", L"确定", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, (cw - bw) / 2,
                                  ch - bh - m, bw, bh, dialog, (HMENU)(INT_PTR)IDOK, instance, nullptr);
    if (button && font) SendMessageW(button, WM_SETFONT, (WPARAM)font, TRUE);

    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);

    WPARAM quitCode = 0;
    int ended = RunDialogLoop(dialog, button, &quitCode);

    if (owner) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    if (font) DeleteObject(font);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    // The main window went away meanwhile: hand the quit on so the main loop ends too.
    if (!ended) PostQuitMessage((int)quitCode);
}
