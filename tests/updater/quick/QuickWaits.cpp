// The waits of zdvshengji_quick.exe, the test build of the updater: the same program with waits
// short enough for a test to see the end of them (answers within 5 s, post retries 300 ms apart, marker waits of
// 40 polls of 100 ms, a package allowed 20 s, a download 2 s without a byte or 30 s in all). It never
// reaches the staged program folder.
#include "UpdaterWaits.h"

namespace tessaly::updater {

const UpdaterWaits& Waits() noexcept {
    static constexpr UpdaterWaits kQuick{5000, 300, 100, 40, 20000, 2000, 30000};
    return kQuick;
}

}  // namespace tessaly::updater
