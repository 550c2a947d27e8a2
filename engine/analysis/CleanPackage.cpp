// Removed parts are dropped together with every relationship that targets them and their
// content-type overrides; macro sheets also leave the workbook part (workbook.xml, or the records
// of an .xlsb's workbook.bin) with their auto-open names, what counts sheets by position follows the
// sheets that stay, and the calculation chain goes (Excel rebuilds it). Parts not edited are copied
// with their compressed bytes untouched. The work goes in phases: choose the parts to remove, edit
// the relationship parts, the content types and the workbook, then write.
#include "CleanPackage.h"

#include <map>
#include <set>

#include "Ooxml.h"
#include "PartTitles.h"
#include "Text.h"
#include "WorkbookXmlSheets.h"
#include "XlsbMacroSheetRemoval.h"
#include "ZipWriter.h"

namespace tessaly::analysis {
namespace {

std::string AsText(const ByteVec& b) { return std::string(b.begin(), b.end()); }
Bytes AsBytes(const std::string& s) { return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }

// Folder of the part a .rels file describes: "word/_rels/document.xml.rels" -> "word/".
std::string SourceFolder(const std::string& relsName) {
    const std::size_t rels = relsName.rfind("_rels/");
    return rels == std::string::npos ? std::string{} : relsName.substr(0, rels);
}

// The part a .rels file describes: "word/_rels/document.xml.rels" -> "word/document.xml".
std::string DescribedPart(const std::string& relsName) {
    const std::string folder = SourceFolder(relsName);
    constexpr std::size_t kRelsFolder = 6, kRelsSuffix = 5;  // "_rels/" and ".rels"
    return folder + relsName.substr(folder.size() + kRelsFolder, relsName.size() - folder.size() - kRelsFolder - kRelsSuffix);
}

std::string ResolveTarget(const std::string& folder, std::string target) {
    if (!target.empty() && target.front() == '/') return LowerAscii(target.substr(1));
    std::string path = folder;
    while (target.rfind("../", 0) == 0) {
        target.erase(0, 3);
        if (!path.empty()) path.pop_back();
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
    }
    if (target.rfind("./", 0) == 0) target.erase(0, 2);
    return LowerAscii(path + target);
}

// Removes the elements for which `drop` says so; returns the number removed.
template <typename Pred>
std::size_t RemoveElements(std::string& xml, std::string_view tag, Pred drop) {
    std::size_t removed = 0;
    std::string kept = ooxml::ReplaceElements(xml, tag, [&](std::string_view element) {
        if (!drop(element)) return std::string(element);
        ++removed;
        return std::string();
    });
    if (removed > 0) xml = std::move(kept);
    return removed;
}

bool IsRels(const std::string& lowerName) { return lowerName.size() > 5 && lowerName.ends_with(".rels"); }

bool IsCalcChain(const std::string& lowerName) { return lowerName == "xl/calcchain.xml" || lowerName == "xl/calcchain.bin"; }

// The relationship parts that list a workbook's sheets.
bool IsWorkbookRels(const std::string& lowerName) {
    return lowerName == "xl/_rels/workbook.xml.rels" || lowerName == "xl/_rels/workbook.bin.rels";
}

class PackageCleaner {
public:
    PackageCleaner(Bytes original, const zip::Archive& archive) : m_original(original), m_archive(archive) {
        if (auto ct = archive.Read(ooxml::kContentTypesPart)) m_contentTypes = AsText(*ct);
        m_types = ooxml::ContentTypes::Parse(m_contentTypes);
    }

    PackageRebuild Run(ByteSink& out) {
        ChooseRemovedParts();
        if (EditRelationships() && EditContentTypes() && EditWorkbook()) {
            EditAppProperties();
            Write(out);
        }
        return std::move(m_result);
    }

private:
    bool Failed(std::string reason) {
        m_result.failure = std::move(reason);
        return false;
    }

    // The VBA project, its data part and macro sheets (with the calculation chain, which lists
    // cells by sheet), and the relationship parts of those.
    void ChooseRemovedParts() {
        for (const zip::Entry& e : m_archive.entries()) {
            const bool vba = ooxml::IsVbaProjectPart(e.name, m_types) || ooxml::IsVbaDataPart(e.name);
            const bool xlm = ooxml::IsMacroSheetPart(e.name, m_types);
            if (vba || xlm) m_removed.insert(LowerAscii(e.name));
            m_macroSheets = m_macroSheets || xlm;
        }
        if (m_macroSheets)
            for (const zip::Entry& e : m_archive.entries())
                if (IsCalcChain(LowerAscii(e.name))) m_removed.insert(LowerAscii(e.name));
        for (const zip::Entry& e : m_archive.entries()) {
            const std::string lower = LowerAscii(e.name);
            if (IsRels(lower) && m_removed.count(DescribedPart(lower))) m_removed.insert(lower);
        }
    }

    // Relationships that target a removed part go; those of the workbook that target a macro sheet
    // give the ids of the sheet entries to drop.
    bool EditRelationships() {
        for (std::size_t i = 0; i < m_archive.entries().size(); ++i) {
            const zip::Entry& e = m_archive.entries()[i];
            const std::string lower = LowerAscii(e.name);
            if (!IsRels(lower) || m_removed.count(lower)) continue;
            auto data = m_archive.Read(i);
            if (!data) return Failed("unreadable part " + e.name);
            std::string xml = AsText(*data);
            const std::string folder = SourceFolder(lower);
            const std::size_t count = RemoveElements(xml, "Relationship", [&](std::string_view element) {
                if (LowerAscii(ooxml::AttributeValue(element, "TargetMode")) == "external") return false;
                const std::string target = ResolveTarget(folder, ooxml::AttributeValue(element, "Target"));
                if (!m_removed.count(target)) return false;
                if (IsWorkbookRels(lower) && ooxml::IsMacroSheetPart(target, m_types))
                    m_removedSheetIds.insert(ooxml::AttributeValue(element, "Id"));
                return true;
            });
            if (count) m_edited[lower] = std::move(xml);
        }
        return true;
    }

    bool EditContentTypes() {
        if (m_contentTypes.empty()) return true;
        std::string xml = m_contentTypes;
        const std::size_t count = RemoveElements(xml, "Override", [&](std::string_view element) {
            std::string part = LowerAscii(ooxml::AttributeValue(element, "PartName"));
            if (!part.empty() && part.front() == '/') part.erase(0, 1);
            return m_removed.count(part) > 0;
        });
        if (count) m_edited[LowerAscii(ooxml::kContentTypesPart)] = std::move(xml);
        return true;
    }

    // Macro sheets leave the workbook's sheet list, and their auto-start names go with them.
    bool EditWorkbook() {
        if (!m_macroSheets) return true;
        if (const auto binary = m_archive.Find("xl/workbook.bin")) return EditBinaryWorkbook(*binary);
        const auto index = m_archive.Find("xl/workbook.xml");
        if (!index) return Failed("macro sheets of this workbook format cannot be removed safely");
        auto data = m_archive.Read(*index);
        if (!data) return Failed("unreadable workbook part");
        std::string xml = AsText(*data);
        // Sheet-level names and the workbook view count sheets by their place in the original list.
        std::vector<bool> removedSheets;
        for (auto [at, length] : ooxml::FindElements(xml, "sheet"))
            removedSheets.push_back(m_removedSheetIds.count(ooxml::AttributeValue(std::string_view(xml).substr(at, length), "r:id")) > 0);
        RemoveElements(xml, "sheet", [&](std::string_view element) {
            if (!m_removedSheetIds.count(ooxml::AttributeValue(element, "r:id"))) return false;
            m_removedSheetNames.push_back(ooxml::AttributeValue(element, "name"));
            return true;
        });
        if (ooxml::FindElements(xml, "sheet").empty()) return Failed("the workbook holds nothing but macro sheets");
        RemoveElements(xml, "definedName", ooxml::IsAutoStartName);
        xml = ooxml::FollowRemovedSheets(std::move(xml), removedSheets);
        // An emptied <definedNames> element is not valid in the schema.
        const std::string emptyNames = "<definedNames></definedNames>";
        if (const std::size_t at = xml.find(emptyNames); at != std::string::npos) xml.erase(at, emptyNames.size());
        m_edited[LowerAscii(m_archive.entries()[*index].name)] = std::move(xml);
        return true;
    }

    // A binary workbook (.xlsb) lists its sheets, their names and the book view in records.
    bool EditBinaryWorkbook(std::size_t index) {
        auto data = m_archive.Read(index);
        if (!data) return Failed("unreadable workbook part");
        auto edited = xlsb::WorkbookWithoutSheets(*data, m_removedSheetIds);
        if (!edited.workbook) return Failed("macro sheets cannot be removed: " + edited.failure);
        m_edited[LowerAscii(m_archive.entries()[index].name)] = AsText(*edited.workbook);
        m_removedSheetNames = std::move(edited.removedNames);
        return true;
    }

    // The document's properties list its sheets by name; the removed ones leave that list. A list
    // that does not read as expected is left as it is: it is only a listing.
    void EditAppProperties() {
        if (m_removedSheetNames.empty()) return;
        const auto index = RootRelationshipTarget("/extended-properties");
        auto data = index ? m_archive.Read(*index) : std::nullopt;
        if (!data) return;
        if (auto edited = AppPropertiesWithout(AsText(*data), m_removedSheetNames))
            m_edited[LowerAscii(m_archive.entries()[*index].name)] = std::move(*edited);
    }

    // The part the package's own relationships name with a type that ends so.
    std::optional<std::size_t> RootRelationshipTarget(std::string_view typeEnd) const {
        const auto rels = m_archive.Find("_rels/.rels");
        const auto data = rels ? m_archive.Read(*rels) : std::nullopt;
        if (!data) return std::nullopt;
        const std::string xml = AsText(*data);
        for (auto [at, length] : ooxml::FindElements(xml, "Relationship")) {
            const std::string_view element = std::string_view(xml).substr(at, length);
            if (ooxml::AttributeValue(element, "Type").ends_with(typeEnd))
                return m_archive.Find(ResolveTarget("", ooxml::AttributeValue(element, "Target")));
        }
        return std::nullopt;
    }

    void Write(ByteSink& out) {
        zip::Writer writer;
        for (const zip::Entry& e : m_archive.entries()) {
            const std::string lower = LowerAscii(e.name);
            if (m_removed.count(lower)) {
                m_result.removedParts.push_back(e.name);
                continue;
            }
            if (auto edited = m_edited.find(lower); edited != m_edited.end()) {
                writer.AddDeflated(e.name, AsBytes(edited->second));
                continue;
            }
            auto raw = zip::EntryData(m_original, e);
            if (!raw) {
                Failed("unreadable part " + e.name);
                return;
            }
            writer.AddCopy(e, *raw);
        }
        writer.Finish(out);
    }

    Bytes m_original;
    const zip::Archive& m_archive;
    std::string m_contentTypes;
    ooxml::ContentTypes m_types;
    std::set<std::string> m_removed;  // lower-case part names
    bool m_macroSheets = false;
    std::set<std::string> m_removedSheetIds;
    std::vector<std::string> m_removedSheetNames;
    std::map<std::string, std::string> m_edited;  // by lower-case part name
    PackageRebuild m_result;
};

}  // namespace

PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive, ByteSink& out) {
    return PackageCleaner(original, archive).Run(out);
}

PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive) {
    MemorySink sink;
    PackageRebuild result = RebuildPackageWithoutMacros(original, archive, sink);
    if (result.failure.empty()) result.bytes = sink.Take();
    return result;
}

}  // namespace tessaly::analysis
