// Walks a document's container and hands each part to its format's reader. What cannot be read
// is recorded as damage and read around; a macro storage that cannot be read fully is marked
// incomplete so it never passes as clean. Streams are checked through their chains and read where
// they lie; only the parts a reader parses are copied. A document behind Office's default password
// is decrypted in memory and judged as the plain document, on the same budget.
#include "Inspection.h"

#include <set>

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

// Macro text goes to the findings up to a total; more than that is more than a scan may match.
void AddCode(Findings& f, std::string where, std::string source, bool isXlm) {
    std::size_t held = source.size();
    for (const MacroCode& c : f.code) held += c.source.size();
    if (held > limits::kMaxCodeBytes) {
        f.overBudget = true;
        return;
    }
    f.code.push_back({std::move(where), std::move(source), isXlm});
}

std::string PathOf(const cfb::CompoundFile& file, std::uint32_t index) {
    std::string path;
    for (std::size_t guard = 0; index != 0 && index != cfb::kNoStream && guard < limits::kMaxDirectoryDepth + 2; ++guard) {
        path = file.entries()[index].name + (path.empty() ? "" : "/" + path);
        index = file.entries()[index].parent;
    }
    return path;
}

void InspectVba(const cfb::CompoundFile& file, Findings& f, const std::string& prefix, WorkBudget* budget) {
    for (std::uint32_t storage : vba::FindProjectStorages(file)) {
        f.hasVbaStorage = true;
        const vba::Project project = vba::ReadProject(file, storage, budget);
        if (!project.dirReadable) f.vbaIncomplete = true;
        if (!project.orphanStreams.empty()) f.vbaIncomplete = true;
        if (project.overBudget) f.overBudget = true;
        const std::string base = prefix + PathOf(file, storage);
        const std::string vbaPath = base + (base.empty() ? "" : "/") + (EqualsNoCase(file.entries()[storage].name, "VBA") ? "" : "VBA/");
        for (const vba::Module& m : project.modules) {
            if (!m.streamPresent || !m.sourceReadable) f.vbaIncomplete = true;
            // Compiled code with an empty source is how "stomped" projects hide what they run.
            if (m.hasCompiledCode && m.sourceReadable && m.source.empty() && !m.sharesSource) f.vbaIncomplete = true;
            if (m.sourceReadable && !m.sharesSource) AddCode(f, vbaPath + m.name, m.source, false);
        }
        for (const vba::Module& m : project.orphanSources) AddCode(f, vbaPath + m.name, m.source, false);
        if (vba::HasMeaningfulCode(project)) f.vbaHasCode = true;
        if (!project.problem.empty() && f.reason.empty()) f.reason = project.problem;
    }
    // A macro storage of the usual name without a readable project is still macro storage; a
    // stream of that name is no storage and holds no project.
    for (const char* name : {"Macros", "_VBA_PROJECT_CUR"}) {
        auto index = file.Child(0, name);
        if (index && file.entries()[*index].type == cfb::EntryType::kStorage && !file.Child(*index, "VBA")) {
            f.hasVbaStorage = true;
            f.vbaIncomplete = true;
        }
    }
}

void InspectWorkbook(const cfb::CompoundFile& file, std::uint32_t index, Findings& f) {
    const auto stream = file.OpenStream(index);
    if (!stream || !stream->complete()) return MarkDamaged(f, "unreadable workbook stream");
    const biff::Workbook wb = biff::ReadWorkbook(*stream);
    if (!wb.readable) return MarkDamaged(f, "malformed workbook stream");
    if (wb.encrypted) f.encrypted = true;
    for (const biff::Sheet& s : wb.sheets) {
        if (s.type == biff::SheetType::kMacroSheet) f.hasXlm = true;
    }
    if (f.hasXlm) AddCode(f, "Workbook/macro sheets", wb.macroSheetText, true);
    if (wb.autoOpenName) f.xlmAutoOpen = true;
}

void InspectWordDocument(const cfb::CompoundFile& file, std::uint32_t index, Findings& f) {
    // The file information block at the start is all a Word 97-2003 document needs read; a Word
    // 6.0/95 one keeps its WordBasic macros in the stream, which is then read whole.
    const auto stream = file.OpenStream(index);
    ByteVec scratch;
    const Bytes start = stream && stream->complete() ? stream->View(0, 4096, scratch) : Bytes{};
    if (start.empty()) return MarkDamaged(f, "unreadable WordDocument stream");
    const fib::WordInfo info = fib::ReadFib(start);
    if (!info.valid) MarkDamaged(f, "bad Word file header");
    if (info.encrypted) {
        f.encrypted = true;
    } else if (info.word6) {
        if (auto whole = file.ReadStream(index)) wordbasic::InspectMacros(*whole, info.isTemplate, f);
        else MarkDamaged(f, "unreadable WordDocument stream");
    }
}

// The parts whose contents the analysis reads; every other part is only located.
bool PartIsRead(const std::string& name, const ooxml::ContentTypes& types) {
    return ooxml::IsVbaProjectPart(name, types) || ooxml::IsMacroSheetPart(name, types) || LowerAscii(name) == "xl/workbook.xml";
}

void InspectProjectPart(const std::string& name, const ByteVec& data, Findings& f, int nesting, WorkBudget& budget) {
    f.hasVbaStorage = true;
    auto project = cfb::CompoundFile::Open(data, nullptr, &budget);
    if (!project || nesting >= static_cast<int>(limits::kMaxNestedPackages)) {
        f.vbaIncomplete = true;
        if (f.reason.empty()) f.reason = "unreadable VBA project part";
        return;
    }
    Findings inner;
    InspectCompoundFile(*project, inner, nesting + 1, &budget);
    if (inner.damaged) f.vbaIncomplete = true;
    if (!inner.hasVbaStorage) f.vbaIncomplete = true;  // a project part without a project
    f.vbaIncomplete = f.vbaIncomplete || inner.vbaIncomplete;
    f.vbaHasCode = f.vbaHasCode || inner.vbaHasCode;
    f.overBudget = f.overBudget || inner.overBudget;
    for (auto& c : inner.code) AddCode(f, name + "/" + c.where, std::move(c.source), c.isXlm);
}

void InspectReadPart(const zip::Archive& archive, std::size_t index, const ooxml::ContentTypes& types, Findings& f,
                     int nesting, WorkBudget& budget) {
    const std::string& name = archive.entries()[index].name;
    std::string error;
    auto data = archive.Read(index, &error);
    if (!data) {
        if (archive.entries()[index].encrypted()) f.encrypted = true;
        else if (budget.exhausted()) f.overBudget = true;
        else MarkDamaged(f, name + ": " + error);
        if (ooxml::IsVbaProjectPart(name, types)) {
            f.hasVbaStorage = true;
            f.vbaIncomplete = true;
        }
        return;
    }
    const std::string_view text(reinterpret_cast<const char*>(data->data()), data->size());
    if (ooxml::IsVbaProjectPart(name, types)) {
        InspectProjectPart(name, *data, f, nesting, budget);
    } else if (ooxml::IsMacroSheetPart(name, types)) {
        f.hasXlm = true;
        AddCode(f, name, ooxml::MacroSheetFormulas(text), true);
    } else if (ooxml::HasAutoOpenName(text)) {
        f.xlmAutoOpen = true;
    }
}

// The parts that can hold macros are read first, so checking the rest cannot take their budget.
void InspectPackage(const zip::Archive& archive, Findings& f, int nesting, WorkBudget& budget) {
    f.container = Container::kZipPackage;
    if (!archive.damage().empty()) MarkDamaged(f, "damaged package: " + archive.damage().front());
    ooxml::ContentTypes types;
    std::string error;
    if (const auto index = archive.Find(ooxml::kContentTypesPart)) {
        if (auto ct = archive.Read(*index, &error))
            types = ooxml::ContentTypes::Parse(std::string_view(reinterpret_cast<const char*>(ct->data()), ct->size()));
        else
            MarkDamaged(f, std::string(ooxml::kContentTypesPart) + ": " + error);
    }
    for (std::size_t i = 0; i < archive.entries().size(); ++i)
        if (PartIsRead(archive.entries()[i].name, types)) InspectReadPart(archive, i, types, f, nesting, budget);
    for (std::size_t i = 0; i < archive.entries().size(); ++i) {
        const zip::Entry& entry = archive.entries()[i];
        if (PartIsRead(entry.name, types)) continue;
        if (entry.encrypted()) f.encrypted = true;
        else if (archive.Check(i, &error)) continue;
        else if (budget.exhausted()) f.overBudget = true;
        else MarkDamaged(f, entry.name + ": " + error);
    }
}

Findings Inspect(Bytes document, WorkBudget& budget, bool tryDefaultPassword);

// Office opens such a document without asking for the password, so what is behind it is what the
// user gets: the plain document's findings replace the encrypted one's. The decrypted bytes and
// the inspection of the plain document are charged to the scan's budget; the plain document is
// not unlocked again.
void InspectBehindDefaultPassword(const cfb::CompoundFile& file, Findings& f, WorkBudget& budget) {
    auto unlocked = UnlockWithDefaultPassword(file, &budget);
    if (!unlocked) {
        if (budget.exhausted()) f.overBudget = true;
        return;
    }
    Findings inner = Inspect(unlocked->plain, budget, false);
    // A plain document that is still encrypted (a second layer) stays what it was.
    if (inner.encrypted) return;
    inner.behindDefaultPassword = true;
    if (unlocked->hiddenParts) {
        inner.encrypted = true;
        inner.reason = "parts still encrypted";
    }
    f = std::move(inner);
}

Findings Inspect(Bytes document, WorkBudget& budget, bool tryDefaultPassword) {
    Findings f;
    std::string error;
    if (cfb::IsCompoundFile(document)) {
        auto file = cfb::CompoundFile::Open(document, &error, &budget);
        if (!file) {
            if (budget.exhausted()) f.overBudget = true;
            MarkDamaged(f, "damaged compound file: " + error);
            return f;
        }
        InspectCompoundFile(*file, f, 0, &budget);
        if (f.encrypted && tryDefaultPassword) InspectBehindDefaultPassword(*file, f, budget);
        return f;
    }
    if (zip::LooksLikeZip(document) || document.size() >= 22) {
        auto archive = zip::Archive::Open(document, &error, &budget);
        if (archive) {
            InspectPackage(*archive, f, 0, budget);
            if (budget.exhausted()) f.overBudget = true;
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

}  // namespace

void InspectCompoundFile(const cfb::CompoundFile& file, Findings& f, int nesting, WorkBudget* budget) {
    f.container = Container::kCompoundFile;
    if (!file.damage().empty()) MarkDamaged(f, "damaged compound file: " + file.damage().front());
    // Every stream's chain must cover its size, and no two may share a sector; either is damage.
    for (std::uint32_t i = 0; i < file.entries().size(); ++i) {
        const cfb::Entry& e = file.entries()[i];
        if (e.type == cfb::EntryType::kStream && e.reachable && !file.StreamIntact(i))
            MarkDamaged(f, "broken stream " + e.name);
    }
    if (file.StreamsShareSectors()) MarkDamaged(f, "streams share sectors");
    if (file.Child(0, "EncryptionInfo") && file.Child(0, "EncryptedPackage")) {
        f.encrypted = true;
        f.reason = "encrypted package";
    }
    if (dataspaces::ReadProtection(file).protectsContent()) {
        f.encrypted = true;
        f.reason = "rights-protected document";
    }
    if (auto word = file.Child(0, "WordDocument")) InspectWordDocument(file, *word, f);
    if (file.Child(0, ppt::kDocumentStream)) InspectPresentation(file, f, nesting, budget);
    auto workbook = file.Child(0, "Workbook");
    if (!workbook) workbook = file.Child(0, "Book");
    if (workbook) InspectWorkbook(file, *workbook, f);
    InspectVba(file, f, "", budget);
    excel5::InspectProject(file, f, budget);
    if (budget && budget->exhausted()) f.overBudget = true;
}

Findings InspectDocument(Bytes document) {
    WorkBudget budget = WorkBudget::ForDocument(document.size());
    return InspectDocument(document, budget);
}

Findings InspectDocument(Bytes document, WorkBudget& budget) { return Inspect(document, budget, true); }

}  // namespace tessaly::analysis
