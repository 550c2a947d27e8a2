// workbook.xml after sheets were taken out of <sheets>: sheet-level defined names and the
// workbook view count sheets by position, so they follow their sheets; names local to a removed
// sheet go with it.
#pragma once

#include <string>
#include <vector>

namespace tessaly::analysis::ooxml {

// `removed[i]` tells whether the i-th <sheet> of the original list was removed.
std::string FollowRemovedSheets(std::string workbookXml, const std::vector<bool>& removed);

}  // namespace tessaly::analysis::ooxml
