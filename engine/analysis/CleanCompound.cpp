// Every stream outside the macro storage is copied byte for byte into a freshly written file, so
// nothing of the VBA project survives even in free sectors. The workbook stream loses its OBJPROJ
// record, which would otherwise make Excel look for the removed project.
#include "CleanCompound.h"

#include <functional>

#include "Biff.h"
#include "CfbWriter.h"
#include "Excel5Project.h"
#include "MacroSheetRemoval.h"
#include "RootStreamRewrites.h"
#include "VbaProject.h"

namespace tessaly::analysis {
namespace {

bool IsMacroStorage(const cfb::CompoundFile& file, std::uint32_t index, const std::vector<std::uint32_t>& projects) {
    for (std::uint32_t p : projects)
        if (p == index) return true;
    const cfb::Entry& e = file.entries()[index];
    return e.parent == 0 && e.type == cfb::EntryType::kStorage &&
           (cfb::EqualsNoCase(e.name, "Macros") || cfb::EqualsNoCase(e.name, "_VBA_PROJECT_CUR") ||
            cfb::EqualsNoCase(e.name, excel5::kProjectStorage));
}

}  // namespace

RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file) {
    RebuildResult result;
    const std::vector<std::uint32_t> projects = vba::FindProjectStorages(file);
    for (std::uint32_t p : projects) {
        if (p == 0) {
            result.failure = "the whole file is a VBA project";
            return result;
        }
    }
    RootStreamRewrites rewrites = RewriteMacroRecords(file);
    if (!rewrites.refusal.empty()) {
        result.failure = rewrites.refusal;
        return result;
    }
    cfb::Node root;
    root.clsid = file.root().clsid;
    root.stateBits = file.root().stateBits;
    root.times = file.root().times;
    bool ok = true;
    std::function<void(std::uint32_t, cfb::Node&, const std::string&)> copy = [&](std::uint32_t storage, cfb::Node& into,
                                                                                    const std::string& path) {
        for (std::uint32_t c : file.entries()[storage].children) {
            if (!ok) return;
            const cfb::Entry& e = file.entries()[c];
            if (IsMacroStorage(file, c, projects)) continue;
            const std::string childPath = path.empty() ? e.name : path + "/" + e.name;
            if (e.type == cfb::EntryType::kStorage) {
                cfb::Node& s = into.AddStorage(e.name);
                s.clsid = e.clsid;
                s.stateBits = e.stateBits;
                s.times = e.times;
                copy(c, s, childPath);
                continue;
            }
            auto data = file.ReadStream(c);
            if (!data) {
                ok = false;
                result.failure = "unreadable stream " + childPath;
                return;
            }
            if (auto rewritten = storage == 0 ? rewrites.streams.find(e.name) : rewrites.streams.end();
                rewritten != rewrites.streams.end()) {
                data = std::move(rewritten->second);
                result.changedStreams.push_back(childPath);
            } else if (storage == 0 && (cfb::EqualsNoCase(e.name, "Workbook") || cfb::EqualsNoCase(e.name, "Book"))) {
                auto withoutSheets = biff::WithoutMacroSheets(*data);
                if (!withoutSheets.stream) {
                    ok = false;
                    result.failure = "Excel 4.0 macro sheets cannot be removed: " + withoutSheets.failure;
                    return;
                }
                auto fixed = biff::WithoutVbaProjectRecord(*withoutSheets.stream);
                if (!fixed) {
                    ok = false;
                    result.failure = "workbook records cannot be adjusted";
                    return;
                }
                if (*fixed != *data) result.changedStreams.push_back(childPath);
                data = std::move(fixed);
            }
            cfb::Node& s = into.AddStream(e.name, std::move(*data));
            s.clsid = e.clsid;
            s.stateBits = e.stateBits;
        }
    };
    copy(0, root, "");
    if (!ok) return result;
    result.bytes = cfb::WriteCompoundFile(root);
    return result;
}

}  // namespace tessaly::analysis
