#pragma once
// Fonts and sizes of the settings module, as the search controls use them.
#include "app/ui_settings.h"
