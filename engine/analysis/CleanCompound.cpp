// Every stream outside the macro storage is copied byte for byte into a freshly written file, so
// nothing of the VBA project survives even in free sectors. The workbook stream loses its OBJPROJ
// record, which would otherwise make Excel look for the removed project; root streams that hold or
// name macros themselves (PowerPoint, Word 6.0/95) are replaced by their rewritten bytes. Streams are written by
// sources that copy them from the original file when the writer reaches them, so a large document
// is rebuilt without a copy of it in memory.
#include "CleanCompound.h"

#include <stdexcept>

#include "Biff.h"
#include "CfbWriter.h"
#include "Excel5Project.h"
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

bool IsWorkbookStream(const cfb::Entry& e) {
    return e.parent == 0 && (EqualsNoCase(e.name, "Workbook") || EqualsNoCase(e.name, "Book"));
}

// Thrown by a stream source that can no longer read its stream (the budget ran out).
struct SourceFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class CompoundRebuilder {
public:
    explicit CompoundRebuilder(const cfb::CompoundFile& file) : m_file(file), m_projects(vba::FindProjectStorages(file)) {}

    RebuildResult Run(ByteSink& out) {
        for (std::uint32_t p : m_projects)
            if (p == 0) return Failed("the whole file is a VBA project");
        m_rewrites = RewriteMacroRecords(m_file);
        if (!m_rewrites.refusal.empty()) return Failed(m_rewrites.refusal);
        cfb::Node root;
        root.clsid = m_file.root().clsid;
        root.stateBits = m_file.root().stateBits;
        root.times = m_file.root().times;
        if (!CopyStorage(0, root, "")) return std::move(m_result);
        try {
            cfb::WriteCompoundFile(root, out);
        } catch (const SourceFailed& e) {
            return Failed(e.what());
        }
        return std::move(m_result);
    }

private:
    RebuildResult Failed(std::string reason) {
        m_result.failure = std::move(reason);
        return std::move(m_result);
    }

    bool CopyStorage(std::uint32_t storage, cfb::Node& into, const std::string& path) {
        for (std::uint32_t c : m_file.entries()[storage].children) {
            const cfb::Entry& e = m_file.entries()[c];
            if (IsMacroStorage(m_file, c, m_projects)) continue;
            const std::string childPath = path.empty() ? e.name : path + "/" + e.name;
            if (e.type == cfb::EntryType::kStorage) {
                cfb::Node& s = into.AddStorage(e.name);
                s.clsid = e.clsid;
                s.stateBits = e.stateBits;
                s.times = e.times;
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
            cfb::Node& node = into.AddStream(e.name, std::move(rewritten->second));
            node.clsid = e.clsid;
            node.stateBits = e.stateBits;
            return true;
        }
        auto view = m_file.OpenStream(index);
        if (!view || !view->complete()) {
            Failed("unreadable stream " + path);
            return false;
        }
        cfb::Node* node = nullptr;
        if (IsWorkbookStream(e)) {
            auto edit = biff::PlanWithoutVbaProjectRecord(*view);
            if (!edit) {
                Failed("workbook records cannot be adjusted");
                return false;
            }
            if (!edit->removed.empty()) m_result.changedStreams.push_back(path);
            node = &into.AddStream(e.name, edit->size, [view = *view, edit = *edit](ByteSink& out) {
                if (!biff::WriteEdited(view, edit, out)) throw SourceFailed("workbook records cannot be adjusted");
            });
        } else {
            node = &into.AddStream(e.name, view->size(), [view = *view, path](ByteSink& out) {
                if (!view.ForEachPiece([&](Bytes piece) {
                        out.Write(piece);
                        return true;
                    }))
                    throw SourceFailed("unreadable stream " + path);
            });
        }
        node->clsid = e.clsid;
        node->stateBits = e.stateBits;
        return true;
    }

    const cfb::CompoundFile& m_file;
    const std::vector<std::uint32_t> m_projects;
    RootStreamRewrites m_rewrites;
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
