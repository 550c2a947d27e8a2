// Where the check and the downloads write their status: the updater window's status text box,
// or a recorder in tests.
#pragma once

#include <string>

namespace tessaly::updater {

class StatusBox {
public:
    virtual ~StatusBox() = default;
    // Replaces the whole status text.
    virtual void Show(const std::wstring& text) = 0;
};

// The progress text: format with its first "%f" replaced by the percentage done / total x 100,
// rounded to the nearest whole number (a half to the even neighbour). Throws on a total of 0.
std::wstring ProgressText(const std::wstring& format, double done, double total);

}  // namespace tessaly::updater
