// Which titles of a PartTitles listing go and what each heading counts afterwards: the plan both
// writers of the listing (app.xml and the document summary stream) follow.
#pragma once

#include <optional>
#include <vector>

#include "PartTitles.h"

namespace tessaly::analysis {

struct TitleRemoval {
    std::vector<bool> titleRemoved;       // by title
    std::vector<std::int32_t> newCounts;  // by heading; 0: the heading goes
};

std::optional<TitleRemoval> PlanTitleRemoval(const PartTitles& titles, const std::vector<std::string>& removed);

}  // namespace tessaly::analysis
