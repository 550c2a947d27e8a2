// The test program's table of the updater's waits: answers within 5 s, post retries 300 ms apart,
// marker waits of 40 polls of 100 ms, a package allowed 20 s, a download 3 s without a byte or 30 s in all.
#include "TestWaits.h"

namespace updater_test {

tessaly::updater::UpdaterWaits& MutableWaits() {
    static tessaly::updater::UpdaterWaits waits{5000, 300, 100, 40, 20000, 3000, 30000};
    return waits;
}

}  // namespace updater_test

namespace tessaly::updater {

const UpdaterWaits& Waits() noexcept { return updater_test::MutableWaits(); }

}  // namespace tessaly::updater
