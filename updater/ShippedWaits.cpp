// The waits zdvshengji.exe ships with.
#include "UpdaterWaits.h"

namespace tessaly::updater {

const UpdaterWaits& Waits() noexcept {
    static constexpr UpdaterWaits kShipped{30000, 60000, 1000, 60, 180000, 30000, 900000};
    return kShipped;
}

}  // namespace tessaly::updater
