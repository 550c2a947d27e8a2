// Progress text of the downloads; see StatusBox.h.
#include "StatusBox.h"

#include <cmath>
#include <stdexcept>

namespace tessaly::updater {

std::wstring ProgressText(const std::wstring& format, double done, double total) {
    if (total == 0) throw std::domain_error("progress of an empty total");
    const double percent = std::nearbyint(done / total * 100.0);
    std::wstring text = format;
    if (const std::size_t at = text.find(L"%f"); at != std::wstring::npos)
        text.replace(at, 2, std::to_wstring(static_cast<long long>(percent)));
    return text;
}

}  // namespace tessaly::updater
