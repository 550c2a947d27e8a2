// Every stream outside the macro storage is copied byte for byte into a freshly written file, so
// nothing of the VBA project survives even in free sectors. The workbook stream loses its OBJPROJ
// record, which would otherwise make Excel look for the removed project, and its Excel 4.0 macro
// sheets (and the document summary's listing of them); root streams that hold or name macros
// themselves (PowerPoint, Word 6.0/95) are replaced by their rewritten bytes. Streams are written
// by sources that copy them from the original file when the writer reaches them, so a large
// document is rebuilt without a copy of it in memory.
#include "CleanCompound.h"

#include <memory>

#include "Biff.h"
#include "CfbCopy.h"
#include "CfbWriter.h"
#include "Excel5Project.h"
#include "MacroSheetRemoval.h"
#include "PartTitles.h"
#include "RootStreamRewrites.h"
#include "VbaProject.h"

namespace tessaly::analysis {
namespace {

bool IsMacroStorage(const cfb::CompoundFile& file, std::uint32_t index, const std::vector<std::uint32_t>& projects) {
    for (std::uint32_t p : projects)
        if (p == index) return true;
    const cfb::Entry& e = file.entries()[index];
    return e.parent == 0 && e.type == cfb::EntryType::kStorage &&
           (EqualsNoCase(e.name, "Macros") || EqualsNoCase(e.name, "_VBA_PROJECT_CUR") ||
            EqualsNoCase(e.name, excel5::kProjectStorage));
}

constexpr std::string_view kDocumentSummaryStream = "\x05" "DocumentSummaryInformation";

bool IsWorkbookStream(const cfb::Entry& e) {
    return e.parent == 0 && (EqualsNoCase(e.name, "Workbook") || EqualsNoCase(e.name, "Book"));
}

class CompoundRebuilder {
public:
    explicit CompoundRebuilder(const cfb::CompoundFile& file) : m_file(file), m_projects(vba::FindProjectStorages(file)) {}

    RebuildResult Run(ByteSink& out) {
        for (std::uint32_t p : m_projects)
            if (p == 0) return Failed("the whole file is a VBA project");
        m_rewrites = RewriteMacroRecords(m_file);
        if (!m_rewrites.refusal.empty()) return Failed(m_rewrites.refusal);
        if (!PlanWorkbook()) return std::move(m_result);
        cfb::Node root;
        cfb::CopyAttributes(m_file.root(), root);
        if (!CopyStorage(0, root, "")) return std::move(m_result);
        try {
            cfb::WriteCompoundFile(root, out);
        } catch (const cfb::SourceFailed& e) {
            return Failed(e.what());
        }
        return std::move(m_result);
    }

private:
    // A step that fails records why and returns false; Run hands the result over once, at the end.
    bool Fail(std::string reason) {
        m_result.failure = std::move(reason);
        return false;
    }
    RebuildResult Failed(std::string reason) {
        Fail(std::move(reason));
        return std::move(m_result);
    }

    bool CopyStorage(std::uint32_t storage, cfb::Node& into, const std::string& path) {
        for (std::uint32_t c : m_file.entries()[storage].children) {
            const cfb::Entry& e = m_file.entries()[c];
            if (IsMacroStorage(m_file, c, m_projects)) continue;
            const std::string childPath = path.empty() ? e.name : path + "/" + e.name;
            if (e.type == cfb::EntryType::kStorage) {
                cfb::Node& s = into.AddStorage(e.name);
                cfb::CopyAttributes(e, s);
                if (!CopyStorage(c, s, childPath)) return false;
            } else if (!CopyStream(c, storage, into, childPath)) {
                return false;
            }
        }
        return true;
    }

    bool CopyStream(std::uint32_t index, std::uint32_t storage, cfb::Node& into, const std::string& path) {
        const cfb::Entry& e = m_file.entries()[index];
        if (auto rewritten = storage == 0 ? m_rewrites.streams.find(e.name) : m_rewrites.streams.end();
            rewritten != m_rewrites.streams.end()) {
            m_result.changedStreams.push_back(path);
            cfb::CopyAttributes(e, into.AddStream(e.name, std::move(rewritten->second)));
            return true;
        }
        auto view = m_file.OpenStream(index);
        if (!view || !view->complete()) return Fail("unreadable stream " + path);
        if (IsWorkbookStream(e)) return CopyWorkbook(index, *view, into, path);
        return cfb::AddStreamCopy(m_file, index, into) || Fail("unreadable stream " + path);
    }

    // Removing Excel 4.0 macro sheets renumbers records throughout the globals, so a workbook that
    // lists them is edited whole in memory, once, before anything is written; the document
    // summary's listing of the removed sheets goes with them.
    bool PlanWorkbook() {
        std::optional<std::uint32_t> index;
        for (std::uint32_t c : m_file.root().children)
            if (IsWorkbookStream(m_file.entries()[c]) && !index) index = c;
        const auto view = index ? m_file.OpenStream(*index) : std::nullopt;
        if (!view || !view->complete() || !biff::ListsMacroSheets(*view)) return true;  // copying reports the rest
        auto whole = m_file.ReadStream(*index);
        if (!whole) return Fail("Excel 4.0 macro sheets cannot be removed: the workbook stream is too large to edit");
        auto removal = biff::WithoutMacroSheets(*whole);
        if (!removal.stream) return Fail("Excel 4.0 macro sheets cannot be removed: " + removal.failure);
        m_editedWorkbook = std::make_shared<const ByteVec>(std::move(*removal.stream));
        m_editedWorkbookIndex = *index;
        RemoveSummaryTitles(removal.removedNames);
        return true;
    }

    // A listing that does not read as expected is left as it is: it is only a listing.
    void RemoveSummaryTitles(const std::vector<std::string>& names) {
        const auto index = m_file.Child(0, kDocumentSummaryStream);
        if (names.empty() || !index) return;
        const std::string& name = m_file.entries()[*index].name;
        const auto stream = m_file.ReadStream(*index);
        if (!stream || m_rewrites.streams.count(name)) return;
        if (auto edited = SummaryWithout(*stream, names)) m_rewrites.streams[name] = std::move(*edited);
    }

    // The workbook loses OBJPROJ in a planned edit written as the stream is copied, over the
    // macro sheets' removal when there was one.
    bool CopyWorkbook(std::uint32_t index, const cfb::StreamView& view, cfb::Node& into, const std::string& path) {
        const cfb::Entry& e = m_file.entries()[index];
        const std::shared_ptr<const ByteVec> edited = index == m_editedWorkbookIndex ? m_editedWorkbook : nullptr;
        auto edit = edited ? biff::PlanWithoutVbaProjectRecord(SpanSource(*edited)) : biff::PlanWithoutVbaProjectRecord(view);
        if (!edit) return Fail("workbook records cannot be adjusted");
        if (edited || !edit->removed.empty()) m_result.changedStreams.push_back(path);
        cfb::Node& node = into.AddStream(e.name, edit->size, [view, edited, edit = *edit](ByteSink& out) {
            const bool written = edited ? biff::WriteEdited(SpanSource(*edited), edit, out) : biff::WriteEdited(view, edit, out);
            if (!written) throw cfb::SourceFailed("workbook records cannot be adjusted");
        });
        cfb::CopyAttributes(e, node);
        return true;
    }

    const cfb::CompoundFile& m_file;
    const std::vector<std::uint32_t> m_projects;
    RootStreamRewrites m_rewrites;
    std::shared_ptr<const ByteVec> m_editedWorkbook;
    std::uint32_t m_editedWorkbookIndex = cfb::kNoStream;
    RebuildResult m_result;
};

}  // namespace

RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file, ByteSink& out) { return CompoundRebuilder(file).Run(out); }

RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file) {
    MemorySink sink;
    RebuildResult result = RebuildWithoutMacros(file, sink);
    if (result.failure.empty()) result.bytes = sink.Take();
    return result;
}

}  // namespace tessaly::analysis
