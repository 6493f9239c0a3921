#pragma once
// The system's version: compared by the update check, sent by the launch report.
#define APP_VERSION_MAJOR 0
#define APP_VERSION_MINOR 1
#define APP_VERSION_PATCH 1
#define APP_VERSION "0.1.1"
#define APP_VERSION_W L"0.1.1"
