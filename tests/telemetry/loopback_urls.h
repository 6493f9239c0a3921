#pragma once
// The launch report URL of the loopback test build, set by the test at run time.
const char* TestLaunchUrl();
