// The build's manifest address, alone in its file: an executable that defines
// UpdateManifestUrl itself (the loopback test builds) never links this one.
#include "update/update_check.h"

#ifndef TIVRA_UPDATE_URL
#define TIVRA_UPDATE_URL "https://update.tivra.invalid/version.json"
#endif

const char* UpdateManifestUrl() { return TIVRA_UPDATE_URL; }
