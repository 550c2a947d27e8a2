// The updater's waits inside the test program: short by default, and set per test where a test
// needs a particular wait.
#pragma once

#include <concepts>

#include "UpdaterWaits.h"

namespace updater_test {

// The table the updater code in this test program reads.
tessaly::updater::UpdaterWaits& MutableWaits();

// Sets the table for one scope and puts the previous one back.
class ScopedWaits {
public:
    explicit ScopedWaits(const tessaly::updater::UpdaterWaits& waits) : m_saved(MutableWaits()) { MutableWaits() = waits; }
    // The current table with the changes `edit` makes.
    template <typename Edit>
        requires std::invocable<Edit, tessaly::updater::UpdaterWaits&>
    explicit ScopedWaits(Edit edit) : m_saved(MutableWaits()) { edit(MutableWaits()); }
    ~ScopedWaits() { MutableWaits() = m_saved; }
    ScopedWaits(const ScopedWaits&) = delete;
    ScopedWaits& operator=(const ScopedWaits&) = delete;

private:
    tessaly::updater::UpdaterWaits m_saved;
};

}  // namespace updater_test
