#pragma once
// The manifest URL of the loopback test build, set by the test at run time.
const char* TestManifestUrl();
