// Reply handling of the scan page. A reply that does not have the four expected parts is shown as
// it came, so the user sees what the engine said instead of a silently dropped file.
#include "ScanPageReplies.h"

#include "modCommon.h"

namespace tessaly {

namespace {

std::wstring RemoveCrLf(std::wstring text) {
    std::erase(text, L'\r');
    std::erase(text, L'\n');
    return text;
}

void CountPath(std::int32_t& counter, std::vector<std::wstring>& list, const std::wstring& path,
               int counterIndex, ScanResultSink& sink) {
    ++counter;
    sink.ShowCounter(counterIndex, counter);
    AppendToList(list, path, true);
}

void HandleScanCode(std::int32_t code, const std::wstring& text, const std::wstring& path, ScanResults& results,
                    ScanResultSink& sink, const std::wstring& reply) {
    switch (code) {
        case kResultInfected: {
            ++results.VirusCount;
            sink.ShowCounter(kCounterVirus, results.VirusCount);
            const long row = sink.AddRow(path, text, kTagColorVirus);
            results.InfectedFiles.push_back(InfectedFileRecord{path, text, row});
            sink.WriteLogLine(text + kFourBlanks + path);
            break;
        }
        case kResultSuspected:
            CountPath(results.SuspectedCount, results.SuspectedFiles, path, kCounterSuspected, sink);
            sink.WriteLogLine(std::wstring(kSuspectedLogWord) + kFourBlanks + path);
            break;
        case kResultEncrypted:
            CountPath(results.EncryptedCount, results.EncryptedFiles, path, kCounterEncrypted, sink);
            break;
        case kResultDamaged:
            CountPath(results.BadDocFileCount, results.BadDocFiles, path, kCounterBadDoc, sink);
            break;
        case kResultEngineError:
            sink.AddRow(reply, kTagUnknownError, kTagColorUnknown);
            break;
        default:
            break;
    }
}

}  // namespace

std::int32_t ScanResults::Counter(int index) const noexcept {
    switch (index) {
        case kCounterTotal: return TotalCount;
        case kCounterVirus: return VirusCount;
        case kCounterCleaned: return CleanedCount;
        case kCounterSuspected: return SuspectedCount;
        case kCounterEncrypted: return EncryptedCount;
        case kCounterCleanFailed: return CleanFailedCount;
        case kCounterBadDoc: return BadDocFileCount;
        default: return 0;
    }
}

void HandleScanReply(const std::wstring& reply, ScanResults& results, ScanResultSink& sink) {
    const std::vector<std::wstring> parts = SplitReply(reply);
    if (parts.size() != 4) {
        sink.AddRow(reply, kTagUnknownError, kTagColorUnknown);
        return;
    }
    const std::optional<std::int32_t> code = ParseReplyCode(parts[1]);
    if (!code) {
        sink.AddRow(reply, kTagFault, kTagColorFault);
        return;
    }
    HandleScanCode(*code, parts[2], RemoveCrLf(ToLocalPath(parts[3])), results, sink, reply);
}

bool HandleCleanReply(const std::wstring& reply, const InfectedFileRecord& record, ScanResultSink& sink) {
    const std::vector<std::wstring> parts = SplitReply(reply);
    if (parts.size() != 4) {
        sink.UpdateRow(record.RowIndex, L"修复失败" + std::wstring(kFourBlanks) + record.Path, L"", 0);
        return false;
    }
    const std::int32_t code = ParseReplyCode(parts[1]).value_or(0);
    const std::wstring path = ToLocalPath(parts[3]);
    if (code == kCleanRepaired) {
        sink.UpdateRow(record.RowIndex, path, kTagRepaired, kTagColorRepaired);
        return true;
    }
    sink.UpdateRow(record.RowIndex, L"修复失败,错误信息:" + parts[2] + kFourBlanks + path, L"", 0);
    return false;
}

}  // namespace tessaly
