// The turning of one scan or clean reply into counters, rows, records and lines. The texts of the
// conversation themselves (requests, reply fields, codes) are the link's: EngineLinkMessages.h.
#pragma once

#include <string>

#include "EngineLinkMessages.h"
#include "ScanPageResults.h"

namespace tessaly {

void HandleScanReply(const std::wstring& reply, ScanResults& results, ScanResultSink& sink);
// Updates the record's row; True when the engine repaired the document.
bool HandleCleanReply(const std::wstring& reply, const InfectedFileRecord& record, ScanResultSink& sink);

}  // namespace tessaly
