// A project storage laid out as Office 97 does it (VBA/dir) is read by the VBA project reader;
// this one takes the older layout: any stream of the storage that holds compressed source.
#include "Excel5Project.h"

#include <functional>

#include "Biff.h"
#include "Limits.h"
#include "VbaProject.h"

namespace tessaly::analysis::excel5 {
namespace {

std::size_t ModuleSheets(const cfb::CompoundFile& file) {
    const auto book = file.Child(0, "Book");
    const auto stream = book ? file.ReadStream(*book) : std::nullopt;
    if (!stream) return 0;
    const biff::Workbook wb = biff::ReadWorkbook(*stream);
    std::size_t count = 0;
    for (const biff::Sheet& s : wb.sheets) count += s.type == biff::SheetType::kVbModule;
    return count;
}

}  // namespace

bool HasModuleSheets(const cfb::CompoundFile& file) { return ModuleSheets(file) > 0; }

void InspectProject(const cfb::CompoundFile& file, Findings& f, WorkBudget* budget) {
    const auto storage = file.Child(0, kProjectStorage);
    const bool isStorage = storage && file.entries()[*storage].type == cfb::EntryType::kStorage;
    const std::size_t moduleSheets = ModuleSheets(file);
    if (!isStorage && moduleSheets == 0) return;
    if (isStorage && file.Child(*storage, "VBA")) return;  // the Office 97 layout: read as such
    f.hasVbaStorage = true;
    std::vector<std::string> sources;
    std::function<void(std::uint32_t, const std::string&, std::size_t)> walk = [&](std::uint32_t at, const std::string& path,
                                                                                   std::size_t depth) {
        if (depth > limits::kMaxDirectoryDepth) return;
        for (std::uint32_t c : file.entries()[at].children) {
            const cfb::Entry& e = file.entries()[c];
            const std::string p = path + "/" + e.name;
            if (e.type == cfb::EntryType::kStorage) {
                walk(c, p, depth + 1);
            } else if (auto stream = file.ReadStream(c)) {
                if (auto source = vba::FindCompressedSource(*stream, budget)) f.code.push_back({p, std::move(*source), false, false});
            }
        }
    };
    const std::size_t before = f.code.size();
    if (isStorage) walk(*storage, std::string(kProjectStorage), 0);
    if (f.code.size() > before) f.vbaHasCode = true;
    // Modules the workbook lists but whose source could not be found: never clean.
    else if (moduleSheets > 0) f.vbaIncomplete = true;
}

}  // namespace tessaly::analysis::excel5
