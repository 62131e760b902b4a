// CORVANE_API marks the classes the shared library exports. The library is built with hidden
// visibility, so nothing else (in particular nothing of the internal Impl namespace) becomes
// part of its binary interface.
#pragma once

#if defined(_WIN32)
// MinGW resolves the static values (the setting singletons) through auto-import, so an
// application needs no dllimport.
#if defined(CORVANE_BUILDING_LIBRARY)
#define CORVANE_API __declspec(dllexport)
#else
#define CORVANE_API
#endif
#else
#define CORVANE_API __attribute__((visibility("default")))
#endif
