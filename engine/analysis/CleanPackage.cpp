// Removed parts are dropped together with every relationship that targets them and their
// content-type overrides; macro sheets also leave workbook.xml with their auto-open names. Parts
// not edited are copied with their compressed bytes untouched.
#include "CleanPackage.h"

#include <algorithm>
#include <map>
#include <set>

#include "Ooxml.h"
#include "WorkbookXmlSheets.h"
#include "XlsbMacroSheetRemoval.h"
#include "ZipWriter.h"

namespace tessaly::analysis {
namespace {

std::string AsText(const ByteVec& b) { return std::string(b.begin(), b.end()); }

// Folder of the part a .rels file describes: "word/_rels/document.xml.rels" -> "word/".
std::string SourceFolder(const std::string& relsName) {
    const std::size_t rels = relsName.rfind("_rels/");
    return rels == std::string::npos ? std::string{} : relsName.substr(0, rels);
}

std::string ResolveTarget(const std::string& folder, std::string target) {
    if (!target.empty() && target.front() == '/') return ooxml::LowerAscii(target.substr(1));
    std::string path = folder;
    while (target.rfind("../", 0) == 0) {
        target.erase(0, 3);
        if (!path.empty()) path.pop_back();
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
    }
    if (target.rfind("./", 0) == 0) target.erase(0, 2);
    return ooxml::LowerAscii(path + target);
}

// Removes the elements for which `drop` says so; returns the number removed.
template <typename Pred>
std::size_t RemoveElements(std::string& xml, std::string_view tag, Pred drop) {
    auto elements = ooxml::FindElements(xml, tag);
    std::size_t removed = 0;
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if (drop(std::string_view(xml).substr(it->first, it->second))) {
            xml.erase(it->first, it->second);
            ++removed;
        }
    }
    return removed;
}

bool IsRels(const std::string& lowerName) { return lowerName.size() > 5 && lowerName.ends_with(".rels"); }

bool IsCalcChain(const std::string& lowerName) { return lowerName == "xl/calcchain.xml" || lowerName == "xl/calcchain.bin"; }

}  // namespace

PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive) {
    PackageRebuild result;
    std::string contentTypes;
    if (auto ct = archive.Read(ooxml::kContentTypesPart)) contentTypes = AsText(*ct);

    std::set<std::string> removed;  // lower-case part names
    bool macroSheets = false;
    for (const zip::Entry& e : archive.entries()) {
        const bool vba = ooxml::IsVbaProjectPart(archive, e.name, contentTypes) || ooxml::IsVbaDataPart(e.name);
        const bool xlm = ooxml::IsMacroSheetPart(e.name, contentTypes);
        if (vba || xlm) removed.insert(ooxml::LowerAscii(e.name));
        macroSheets = macroSheets || xlm;
    }
    // The calculation chain lists cells by sheet; Excel rebuilds it when it is missing.
    if (macroSheets)
        for (const zip::Entry& e : archive.entries())
            if (IsCalcChain(ooxml::LowerAscii(e.name))) removed.insert(ooxml::LowerAscii(e.name));
    // The relationship parts of removed parts go too.
    for (const zip::Entry& e : archive.entries()) {
        const std::string lower = ooxml::LowerAscii(e.name);
        if (!IsRels(lower)) continue;
        const std::string folder = SourceFolder(lower);
        const std::string described = folder + lower.substr(folder.size() + 6, lower.size() - folder.size() - 6 - 5);
        if (removed.count(described)) removed.insert(lower);
    }

    // Relationship ids of workbook.xml that pointed at macro sheets, to drop their <sheet> entries.
    std::set<std::string> removedSheetIds;
    std::map<std::string, std::string> editedParts;  // by lower-case part name
    for (const zip::Entry& e : archive.entries()) {
        const std::string lower = ooxml::LowerAscii(e.name);
        if (!IsRels(lower) || removed.count(lower)) continue;
        auto data = archive.Read(e.name);
        if (!data) {
            result.failure = "unreadable part " + e.name;
            return result;
        }
        std::string xml = AsText(*data);
        const std::string folder = SourceFolder(lower);
        const std::size_t count = RemoveElements(xml, "Relationship", [&](std::string_view element) {
            if (ooxml::LowerAscii(ooxml::AttributeValue(element, "TargetMode")) == "external") return false;
            const std::string target = ResolveTarget(folder, ooxml::AttributeValue(element, "Target"));
            if (!removed.count(target)) return false;
            if ((lower == "xl/_rels/workbook.xml.rels" || lower == "xl/_rels/workbook.bin.rels") &&
                ooxml::IsMacroSheetPart(target, contentTypes))
                removedSheetIds.insert(ooxml::AttributeValue(element, "Id"));
            return true;
        });
        if (count) editedParts[lower] = std::move(xml);
    }
    if (!contentTypes.empty()) {
        std::string xml = contentTypes;
        const std::size_t count = RemoveElements(xml, "Override", [&](std::string_view element) {
            std::string part = ooxml::LowerAscii(ooxml::AttributeValue(element, "PartName"));
            if (!part.empty() && part.front() == '/') part.erase(0, 1);
            return removed.count(part) > 0;
        });
        if (count) editedParts[ooxml::LowerAscii(ooxml::kContentTypesPart)] = std::move(xml);
    }
    if (macroSheets) {
        if (auto binary = archive.Find("xl/workbook.bin")) {
            // A binary workbook (.xlsb) lists its sheets in records.
            auto data = archive.Read(*binary);
            auto edited = data ? xlsb::WorkbookWithoutSheets(*data, removedSheetIds) : xlsb::WorkbookRemoval{};
            if (!edited.workbook) {
                result.failure = "macro sheets cannot be removed: " + (data ? edited.failure : std::string("unreadable workbook part"));
                return result;
            }
            editedParts[ooxml::LowerAscii(archive.entries()[*binary].name)] = AsText(*edited.workbook);
        } else if (!archive.Find("xl/workbook.xml")) {
            result.failure = "macro sheets of this workbook format cannot be removed safely";
            return result;
        }
        if (auto index = archive.Find("xl/workbook.xml")) {
            auto data = archive.Read(*index);
            if (!data) {
                result.failure = "unreadable workbook part";
                return result;
            }
            std::string xml = AsText(*data);
            std::vector<bool> removedSheets;
            for (auto [at, length] : ooxml::FindElements(xml, "sheet"))
                removedSheets.push_back(removedSheetIds.count(ooxml::AttributeValue(std::string_view(xml).substr(at, length), "r:id")) > 0);
            RemoveElements(xml, "sheet", [&](std::string_view element) {
                return removedSheetIds.count(ooxml::AttributeValue(element, "r:id")) > 0;
            });
            if (ooxml::FindElements(xml, "sheet").empty()) {
                result.failure = "the workbook holds nothing but macro sheets";
                return result;
            }
            RemoveElements(xml, "definedName", [](std::string_view element) {
                const std::string name = ooxml::LowerAscii(ooxml::AttributeValue(element, "name"));
                return name.rfind("_xlnm.auto_open", 0) == 0 || name.rfind("auto_open", 0) == 0 ||
                       name.rfind("_xlnm.auto_activate", 0) == 0 || name.rfind("auto_activate", 0) == 0;
            });
            xml = ooxml::FollowRemovedSheets(std::move(xml), removedSheets);
            // An emptied <definedNames> element is not valid in the schema.
            const std::string emptyNames = "<definedNames></definedNames>";
            if (const std::size_t at = xml.find(emptyNames); at != std::string::npos) xml.erase(at, emptyNames.size());
            editedParts[ooxml::LowerAscii(archive.entries()[*index].name)] = std::move(xml);
        }
    }

    zip::Writer writer;
    for (const zip::Entry& e : archive.entries()) {
        if (removed.count(ooxml::LowerAscii(e.name))) {
            result.removedParts.push_back(e.name);
            continue;
        }
        if (auto edited = editedParts.find(ooxml::LowerAscii(e.name)); edited != editedParts.end()) {
            const std::string& text = edited->second;
            writer.AddDeflated(e.name, Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
            continue;
        }
        auto raw = zip::CompressedBytes(original, e);
        if (!raw) {
            result.failure = "unreadable part " + e.name;
            return result;
        }
        writer.AddCopy(e, *raw);
    }
    result.bytes = writer.Finish();
    return result;
}

}  // namespace tessaly::analysis
