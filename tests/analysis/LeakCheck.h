// Whether memory was lost so far in this test program: LeakSanitizer's check where the host tests
// are built with it, so a test can name the case that leaks (the run's end reports any leak too).
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tessaly::testfiles {

inline bool LeaksFound() {
#if defined(__SANITIZE_ADDRESS__)
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

}  // namespace tessaly::testfiles
