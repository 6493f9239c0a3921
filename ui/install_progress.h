#pragma once
// The small window a first start shows while the data package is installed:
// the installer's current stage above a progress bar at its percentage.
#include <windows.h>

#define INSTALL_PROGRESS_CLASS L"TivraInstallProgressClass"
#define IDC_INSTALL_STAGE      7001
#define IDC_INSTALL_BAR        7002

// A ProgressCallback for InstallDataPackage. The first report opens the window
// (context: the module instance, or null for the process's own); every report
// shows its text and percentage and pumps the thread's messages.
void ReportInstallProgress(int percent, const wchar_t* text, void* context);
// Closes the window if one is open; start-up calls it right after installing.
void CloseInstallProgress();
HWND InstallProgressWindow();

// Sizes at 96 DPI; the window scales them with ScaleForDpi.
#define INSTALL_PROGRESS_CLIENT_WIDTH 360
#define INSTALL_PROGRESS_MARGIN       16
#define INSTALL_PROGRESS_GAP          10
#define INSTALL_PROGRESS_BAR_HEIGHT   18

struct InstallProgressLayout {
    RECT stage;  // client coordinates
    RECT bar;
    int clientWidth;
    int clientHeight;
};

// Child rectangles for a stage text line of textHeight pixels, at dpi.
InstallProgressLayout LayoutInstallProgress(int dpi, int textHeight);
// An outer window of width x height centered in the work area, kept inside it.
RECT CenterInWorkArea(const RECT& work, int width, int height);
