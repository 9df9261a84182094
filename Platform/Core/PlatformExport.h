#pragma once
// Symbols of the shared libraries that other targets and modules may use. The
// libraries are built with hidden visibility; only what carries this is seen.
#define PLATFORM_EXPORT __attribute__((visibility("default")))
