// Whether the test binary runs under a sanitizer, for the few tests that move gigabytes: they
// run in the plain build, where they take seconds instead of many minutes.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CORVANE_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CORVANE_SANITIZED_BUILD 1
#endif
#endif

#ifdef CORVANE_SANITIZED_BUILD
#define SKIP_GIGABYTE_TEST_IF_SANITIZED() \
    GTEST_SKIP() << "moves gigabytes; runs in the build without sanitizers"
#else
#define SKIP_GIGABYTE_TEST_IF_SANITIZED() \
    do {                                  \
    } while (false)
#endif
