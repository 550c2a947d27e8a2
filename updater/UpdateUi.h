// What the update check needs from its window: the status text box and the two questions.
#pragma once

#include <string>

#include "StatusBox.h"

namespace tessaly::updater {

class UpdateUi : public StatusBox {
public:
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::wstring& text, const std::wstring& title) = 0;
};

}  // namespace tessaly::updater
