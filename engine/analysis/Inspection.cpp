// Walks a document's container and hands each part to its format's reader. Anything that cannot
// be read where a reader needs it makes the document damaged; a macro storage that cannot be read
// fully is marked incomplete so it never passes as clean.
#include "Inspection.h"

#include "Biff.h"
#include "DataSpaces.h"
#include "DefaultPassword.h"
#include "Excel5Project.h"
#include "Limits.h"
#include "LooseDocuments.h"
#include "Ooxml.h"
#include "Ppt.h"
#include "PptInspection.h"
#include "VbaProject.h"
#include "WordBasic.h"
#include "WordFib.h"
#include "Zip.h"

namespace tessaly::analysis {
namespace {

void MarkDamaged(Findings& f, std::string reason) {
    if (!f.damaged) f.reason = std::move(reason);
    f.damaged = true;
}

std::string PathOf(const cfb::CompoundFile& file, std::uint32_t index) {
    std::string path;
    for (std::size_t guard = 0; index != 0 && index != cfb::kNoStream && guard < limits::kMaxDirectoryDepth + 2; ++guard) {
        path = file.entries()[index].name + (path.empty() ? "" : "/" + path);
        index = file.entries()[index].parent;
    }
    return path;
}

void InspectVba(const cfb::CompoundFile& file, Findings& f, const std::string& prefix) {
    for (std::uint32_t storage : vba::FindProjectStorages(file)) {
        f.hasVbaStorage = true;
        const vba::Project project = vba::ReadProject(file, storage);
        if (!project.dirReadable) f.vbaIncomplete = true;
        if (!project.orphanStreams.empty()) f.vbaIncomplete = true;
        const std::string base = prefix + PathOf(file, storage);
        for (const vba::Module& m : project.modules) {
            if (!m.streamPresent || !m.sourceReadable) f.vbaIncomplete = true;
            // Compiled code with an empty source is how "stomped" projects hide what they run.
            if (m.hasCompiledCode && m.sourceReadable && m.source.empty()) f.vbaIncomplete = true;
            if (m.sourceReadable) f.code.push_back({base + (base.empty() ? "" : "/") + "VBA/" + m.name, m.source, false});
        }
        for (const vba::Module& m : project.orphanSources) f.code.push_back({base + "/VBA/" + m.name, m.source, false});
        if (vba::HasMeaningfulCode(project)) f.vbaHasCode = true;
        if (!project.problem.empty() && f.reason.empty()) f.reason = project.problem;
    }
    // A macro storage of the usual name without a readable project is still macro storage.
    for (const char* name : {"Macros", "_VBA_PROJECT_CUR"}) {
        auto index = file.Child(0, name);
        if (index && !file.Child(*index, "VBA")) {
            f.hasVbaStorage = true;
            f.vbaIncomplete = true;
        }
    }
}

void InspectWorkbook(const cfb::CompoundFile& file, std::uint32_t index, Findings& f) {
    auto stream = file.ReadStream(index);
    if (!stream) return MarkDamaged(f, "unreadable workbook stream");
    const biff::Workbook wb = biff::ReadWorkbook(*stream);
    if (!wb.readable) return MarkDamaged(f, "malformed workbook stream");
    if (wb.encrypted) f.encrypted = true;
    for (const biff::Sheet& s : wb.sheets) {
        if (s.type == biff::SheetType::kMacroSheet) f.hasXlm = true;
    }
    if (f.hasXlm) f.code.push_back({"Workbook/" + std::string("macro sheets"), wb.macroSheetText, true});
    if (wb.autoOpenName) f.xlmAutoOpen = true;
}

void InspectPackage(const zip::Archive& archive, Findings& f, int nesting) {
    f.container = Container::kZipPackage;
    std::string contentTypes;
    if (auto ct = archive.Read(ooxml::kContentTypesPart)) contentTypes.assign(ct->begin(), ct->end());
    for (std::size_t i = 0; i < archive.entries().size(); ++i) {
        const std::string& name = archive.entries()[i].name;
        std::string error;
        auto data = archive.Read(i, &error);
        if (!data) {
            if (archive.entries()[i].encrypted()) f.encrypted = true;
            else MarkDamaged(f, name + ": " + error);
            if (ooxml::IsVbaProjectPart(archive, name, contentTypes)) {
                f.hasVbaStorage = true;
                f.vbaIncomplete = true;
            }
            continue;
        }
        if (ooxml::IsVbaProjectPart(archive, name, contentTypes)) {
            f.hasVbaStorage = true;
            auto project = cfb::CompoundFile::Open(*data);
            if (!project || nesting >= static_cast<int>(limits::kMaxNestedPackages)) {
                f.vbaIncomplete = true;
                if (f.reason.empty()) f.reason = "unreadable VBA project part";
                continue;
            }
            Findings inner;
            InspectCompoundFile(*project, inner, nesting + 1);
            if (inner.damaged) f.vbaIncomplete = true;
            if (!inner.hasVbaStorage) f.vbaIncomplete = true;  // a project part without a project
            f.vbaIncomplete = f.vbaIncomplete || inner.vbaIncomplete;
            f.vbaHasCode = f.vbaHasCode || inner.vbaHasCode;
            for (auto& c : inner.code) f.code.push_back({name + "/" + c.where, std::move(c.source), c.isXlm});
        } else if (ooxml::IsMacroSheetPart(name, contentTypes)) {
            f.hasXlm = true;
            f.code.push_back({name, ooxml::MacroSheetFormulas(std::string_view(reinterpret_cast<const char*>(data->data()), data->size())), true});
        } else if (ooxml::LowerAscii(name) == "xl/workbook.xml") {
            if (ooxml::HasAutoOpenName(std::string_view(reinterpret_cast<const char*>(data->data()), data->size())))
                f.xlmAutoOpen = true;
        }
    }
}

}  // namespace

void InspectCompoundFile(const cfb::CompoundFile& file, Findings& f, int nesting) {
    f.container = Container::kCompoundFile;
    // Every stream must read back; a broken chain anywhere is a damaged file.
    for (std::uint32_t i = 0; i < file.entries().size(); ++i) {
        const cfb::Entry& e = file.entries()[i];
        if (e.type == cfb::EntryType::kStream && e.parent != cfb::kNoStream && !file.ReadStream(i))
            MarkDamaged(f, "broken stream " + e.name);
    }
    if (file.Child(0, "EncryptionInfo") && file.Child(0, "EncryptedPackage")) {
        f.encrypted = true;
        f.reason = "encrypted package";
    }
    if (dataspaces::ReadProtection(file).protectsContent()) {
        f.encrypted = true;
        f.reason = "rights-protected document";
    }
    if (auto word = file.Child(0, "WordDocument")) {
        auto stream = file.ReadStream(*word);
        if (!stream) MarkDamaged(f, "unreadable WordDocument stream");
        else {
            const fib::WordInfo info = fib::ReadFib(*stream);
            if (!info.valid) MarkDamaged(f, "bad Word file header");
            if (info.encrypted) f.encrypted = true;
            else if (info.word6) wordbasic::InspectMacros(*stream, info.isTemplate, f);
        }
    }
    if (file.Child(0, ppt::kDocumentStream)) InspectPresentation(file, f, nesting);
    auto workbook = file.Child(0, "Workbook");
    if (!workbook) workbook = file.Child(0, "Book");
    if (workbook) InspectWorkbook(file, *workbook, f);
    InspectVba(file, f, "");
    excel5::InspectProject(file, f);
}

Findings InspectDocument(Bytes document) {
    Findings f;
    std::string error;
    if (cfb::IsCompoundFile(document)) {
        auto file = cfb::CompoundFile::Open(document, &error);
        if (!file) {
            MarkDamaged(f, "damaged compound file: " + error);
            return f;
        }
        InspectCompoundFile(*file, f, 0);
        if (f.encrypted) InspectBehindDefaultPassword(*file, f);
        return f;
    }
    if (zip::LooksLikeZip(document) || document.size() >= 22) {
        auto archive = zip::Archive::Open(document, &error);
        if (archive) {
            InspectPackage(*archive, f, 0);
            return f;
        }
        if (zip::LooksLikeZip(document)) {
            MarkDamaged(f, "damaged package: " + error);
            return f;
        }
    }
    if (loose::Inspect(document, f)) return f;
    MarkDamaged(f, "not an Office document");
    return f;
}

}  // namespace tessaly::analysis
