// Symbol visibility for the grouper library. The library is built with hidden
// visibility; only what is marked CMG290_API is exported.
#pragma once

#if defined(__GNUC__)
#define CMG290_API __attribute__((visibility("default")))
#else
#define CMG290_API
#endif
