// Removing the VBA project from a PowerPoint 97-2003 presentation by rewriting its two streams:
// the project's storage record and the directory entries naming it go, every document container
// names no project any more (as PowerPoint saves a presentation without macros), every other
// record is kept byte for byte and only moves.
#pragma once

#include <optional>
#include <string>

#include "Budget.h"
#include "ByteReader.h"

namespace tessaly::analysis::ppt {

struct PresentationRewrite {
    std::optional<ByteVec> document;     // the new "PowerPoint Document" stream
    std::optional<ByteVec> currentUser;  // the new "Current User" stream
    std::string refusal;                 // why it could not be done, when it could not
};

// The storages are read on `budget` when one is given; running out of it refuses the rewrite.
PresentationRewrite WithoutVbaProject(Bytes document, Bytes currentUser, WorkBudget* budget = nullptr);

}  // namespace tessaly::analysis::ppt
