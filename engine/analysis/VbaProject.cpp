// The "dir" stream is walked record by record with each size checked against the stream; module
// sources are taken from their stream at the recorded offset and decompressed.
#include "VbaProject.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "Limits.h"
#include "OvbaCompression.h"
#include "Text.h"
#include "TextLines.h"
#include "VbaText.h"

namespace tessaly::analysis::vba {
namespace {

enum : std::uint16_t {
    kProjectVersion = 0x0009,
    kModuleName = 0x0019,
    kModuleNameUnicode = 0x0047,
    kModuleStreamName = 0x001A,
    kModuleStreamNameUnicode = 0x0032,
    kModuleOffset = 0x0031,
    kModuleTerminator = 0x002B,
    kDirTerminator = 0x0010,
};

bool ParseDir(Bytes dir, Project& project) {
    ByteReader r(dir);
    Module* current = nullptr;
    for (std::size_t n = 0; n < limits::kMaxDirRecords; ++n) {
        if (r.atEnd()) return true;  // some writers omit the terminator
        const std::uint16_t id = r.u16();
        std::uint32_t size = r.u32();
        if (!r.ok()) return false;
        // PROJECTVERSION's size field is a fixed 4 but six bytes follow.
        if (id == kProjectVersion) size = 6;
        Bytes data = r.bytes(size);
        if (!r.ok()) return false;
        switch (id) {
            case kModuleName:
                if (project.modules.size() >= limits::kMaxVbaModules) return false;
                project.modules.emplace_back();
                current = &project.modules.back();
                current->name.assign(data.begin(), data.end());
                break;
            case kModuleNameUnicode:
                if (current) current->unicodeName = Utf16LeToUtf8(data);
                break;
            case kModuleStreamName:
                if (current) current->streamName.assign(data.begin(), data.end());
                break;
            case kModuleStreamNameUnicode:
                if (current) current->unicodeStreamName = Utf16LeToUtf8(data);
                break;
            case kModuleOffset:
                if (current) current->textOffset = ReadAt<std::uint32_t>(data, 0).value_or(0);
                break;
            case kModuleTerminator:
                current = nullptr;
                break;
            case kDirTerminator:
                return true;
            default:
                break;
        }
    }
    return false;
}

bool IsProjectBookkeeping(const std::string& name) {
    return EqualsNoCase(name, "dir") || EqualsNoCase(name, "_VBA_PROJECT") || StartsWithNoCase(name, "__SRP_");
}

// The names PROJECT lists on its Document=, Module=, Class= and BaseClass= lines (a document
// module's line goes on with "/&H...").
std::set<std::string> ListedModules(std::string_view text) {
    std::set<std::string> listed;
    while (!text.empty()) {
        const std::size_t eol = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        for (std::string_view key : {"Document=", "Module=", "Class=", "BaseClass="}) {
            if (line.substr(0, key.size()) != key) continue;
            std::string_view name = line.substr(key.size());
            if (key == "Document=") name = name.substr(0, name.find('/'));
            listed.emplace(name);
        }
    }
    return listed;
}

// Decompresses with the output capped by what the budget has left, and charges the work done
// even when the container turns out broken.
std::optional<ByteVec> Decompress(Bytes container, WorkBudget* budget) {
    const std::size_t cap = static_cast<std::size_t>(
        std::min<std::uint64_t>(limits::kMaxModuleSourceBytes, budget ? budget->decompressedLeft() : UINT64_MAX));
    std::size_t produced = 0;
    auto out = ovba::Decompress(container, cap, produced);
    if (budget && !budget->ChargeDecompressed(produced)) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> FindCompressedSource(Bytes stream, WorkBudget* budget) {
    std::size_t probes = 0;
    for (std::size_t at = 0; at + 3 <= stream.size() && probes < limits::kMaxOrphanProbes; ++at) {
        if (!ovba::StartsContainer(stream.subspan(at))) continue;
        ++probes;
        if (auto source = Decompress(stream.subspan(at), budget); source && !source->empty())
            return std::string(source->begin(), source->end());
        if (budget && budget->exhausted()) break;
    }
    return std::nullopt;
}

// Names outside ASCII ("Лист1") are in the project's code page in MODULESTREAMNAME, so only the
// Unicode record matches the storage's UTF-16 names.
const std::string& StreamNameOf(const Module& m) {
    if (!m.unicodeStreamName.empty()) return m.unicodeStreamName;
    return m.streamName.empty() ? m.name : m.streamName;
}

namespace {

// Reads one project, decompressing each stream region once: records that name the same stream
// and offset, and directory entries that share one stream, cost one decompression.
class ProjectReader {
public:
    ProjectReader(const cfb::CompoundFile& file, WorkBudget* budget) : m_file(file), m_budget(budget) {}

    Project Read(std::uint32_t projectStorage) {
        auto vbaStorage = file().Child(projectStorage, "VBA");
        if (!vbaStorage && IsVbaStorage(projectStorage)) vbaStorage = projectStorage;
        if (!vbaStorage) {
            m_project.problem = "no VBA storage";
            return std::move(m_project);
        }
        ReadProjectText(projectStorage);
        ReadDir(*vbaStorage);
        for (std::size_t i = 0; i < m_project.modules.size(); ++i) ReadModule(*vbaStorage, i);
        ReadOrphans(*vbaStorage);
        const std::set<std::string> listed = ListedModules(m_project.projectText);
        if (!m_project.projectText.empty())
            for (const Module& m : m_project.modules)
                if (!listed.count(m.name)) m_project.hiddenModules.push_back(m.name);
        m_project.overBudget = m_budget && m_budget->exhausted();
        return std::move(m_project);
    }

private:
    // Where a stream's bytes lie: entries with the same start and size are the same stream.
    using StreamKey = std::pair<std::uint32_t, std::uint64_t>;

    [[nodiscard]] const cfb::CompoundFile& file() const { return m_file; }

    bool IsVbaStorage(std::uint32_t storage) const {
        return EqualsNoCase(file().entries()[storage].name, "VBA") && file().Child(storage, "dir");
    }

    std::shared_ptr<const ByteVec> Stream(std::uint32_t index) {
        const cfb::Entry& e = file().entries()[index];
        const StreamKey key{e.startSector, e.size};
        if (auto found = m_streams.find(key); found != m_streams.end()) return found->second;
        auto bytes = file().ReadStream(index);
        auto shared = bytes ? std::make_shared<const ByteVec>(std::move(*bytes)) : nullptr;
        m_streams.emplace(key, shared);
        return shared;
    }

    void ReadProjectText(std::uint32_t projectStorage) {
        if (auto text = file().Child(projectStorage, "PROJECT"))
            if (auto bytes = file().ReadStream(*text)) m_project.projectText.assign(bytes->begin(), bytes->end());
    }

    void ReadDir(std::uint32_t vbaStorage) {
        auto dirIndex = file().Child(vbaStorage, "dir");
        auto dirStream = dirIndex ? file().ReadStream(*dirIndex) : std::nullopt;
        auto dir = dirStream ? Decompress(*dirStream, m_budget) : std::nullopt;
        if (!dir) {
            m_project.problem = dirStream ? "unreadable dir stream" : "missing dir stream";
        } else if (!ParseDir(*dir, m_project)) {
            m_project.problem = "malformed dir stream";
        } else {
            m_project.dirReadable = true;
        }
    }

    void ReadModule(std::uint32_t vbaStorage, std::size_t which) {
        Module& m = m_project.modules[which];
        auto index = file().Child(vbaStorage, StreamNameOf(m));
        if (!index) return;
        m.streamPresent = true;
        const cfb::Entry& e = file().entries()[*index];
        const auto sourceKey = std::make_pair(StreamKey{e.startSector, e.size}, m.textOffset);
        if (auto earlier = m_sources.find(sourceKey); earlier != m_sources.end()) {
            const Module& first = m_project.modules[earlier->second];
            m.hasCompiledCode = first.hasCompiledCode;
            m.sourceReadable = first.sourceReadable;
            m.sharesSource = true;
            return;
        }
        m_sources.emplace(sourceKey, which);
        auto stream = Stream(*index);
        if (!stream) return;
        m.hasCompiledCode = m.textOffset > 0 && !stream->empty();
        if (m.textOffset > stream->size()) return;
        auto source = Decompress(Bytes(*stream).subspan(m.textOffset), m_budget);
        if (!source) return;
        m.sourceReadable = true;
        m.source.assign(source->begin(), source->end());
    }

    void ReadOrphans(std::uint32_t vbaStorage) {
        std::set<StreamKey> probed;
        for (std::uint32_t child : file().entries()[vbaStorage].children) {
            const cfb::Entry& e = file().entries()[child];
            if (IsProjectBookkeeping(e.name)) continue;
            const bool named = std::any_of(m_project.modules.begin(), m_project.modules.end(), [&](const Module& m) {
                return EqualsNoCase(StreamNameOf(m), e.name);
            });
            if (named) continue;
            m_project.orphanStreams.push_back(e.name);
            if (!probed.insert({e.startSector, e.size}).second) continue;  // the same stream under another name
            auto stream = Stream(child);
            if (!stream) continue;
            if (auto source = FindCompressedSource(*stream, m_budget)) {
                Module m;
                m.name = m.streamName = m.unicodeStreamName = e.name;
                m.streamPresent = m.sourceReadable = true;
                m.source = std::move(*source);
                m_project.orphanSources.push_back(std::move(m));
            }
        }
    }

    const cfb::CompoundFile& m_file;
    WorkBudget* m_budget;
    Project m_project;
    std::map<StreamKey, std::shared_ptr<const ByteVec>> m_streams;
    std::map<std::pair<StreamKey, std::uint32_t>, std::size_t> m_sources;  // first module per stream and offset
};

}  // namespace

Project ReadProject(const cfb::CompoundFile& file, std::uint32_t projectStorage, WorkBudget* budget) {
    return ProjectReader(file, budget).Read(projectStorage);
}

std::vector<std::uint32_t> FindProjectStorages(const cfb::CompoundFile& file) {
    std::vector<std::uint32_t> found;
    const auto& entries = file.entries();
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const auto type = entries[i].type;
        if (type != cfb::EntryType::kStorage && type != cfb::EntryType::kRoot) continue;
        auto vba = file.Child(i, "VBA");
        if (vba && entries[*vba].type == cfb::EntryType::kStorage) found.push_back(i);
    }
    // A "VBA" storage whose parent the tree walk lost still holds a project.
    for (std::uint32_t detached : file.DetachedStorages())
        if (EqualsNoCase(entries[detached].name, "VBA") && file.Child(detached, "dir")) found.push_back(detached);
    return found;
}

bool HasMeaningfulCode(const Project& project) {
    for (const Module& m : project.modules) {
        bool meaningful = false;
        ForEachLine(StripVbaComments(m.source), [&](std::string_view line) {
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
            const bool boilerplate = line.empty() || line.rfind("Attribute ", 0) == 0 || line == "Option Explicit";
            if (!boilerplate) meaningful = true;
        });
        if (meaningful) return true;
    }
    return false;
}

}  // namespace tessaly::analysis::vba
