// The "dir" stream is walked record by record with each size checked against the stream; module
// sources are taken from their stream at the recorded offset and decompressed.
#include "VbaProject.h"

#include <algorithm>

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

void ReadModule(const cfb::CompoundFile& file, std::uint32_t vbaStorage, Module& m) {
    auto index = file.Child(vbaStorage, StreamNameOf(m));
    if (!index) return;
    m.streamPresent = true;
    auto stream = file.ReadStream(*index);
    if (!stream) return;
    m.hasCompiledCode = m.textOffset > 0 && !stream->empty();
    if (m.textOffset > stream->size()) return;
    auto source = ovba::Decompress(Bytes(*stream).subspan(m.textOffset));
    if (!source) return;
    m.sourceReadable = true;
    m.source.assign(source->begin(), source->end());
}

void FindHiddenModules(Project& project) {
    // PROJECT lists Document=, Module=, Class= and BaseClass= lines for visible modules.
    for (const Module& m : project.modules) {
        bool listed = false;
        for (const char* key : {"Document=", "Module=", "Class=", "BaseClass="}) {
            if (project.projectText.find(std::string(key) + m.name) != std::string::npos) listed = true;
        }
        if (!listed) project.hiddenModules.push_back(m.name);
    }
}

}  // namespace

// An orphaned stream has no recorded source offset: look for the first place a compressed
// container starts and decompresses.
std::optional<std::string> FindCompressedSource(Bytes stream) {
    constexpr std::size_t kMaxProbes = 64;
    std::size_t probes = 0;
    for (std::size_t at = 0; at + 3 <= stream.size() && probes < kMaxProbes; ++at) {
        if (!ovba::StartsContainer(stream.subspan(at))) continue;
        ++probes;
        if (auto source = ovba::Decompress(stream.subspan(at)); source && !source->empty())
            return std::string(source->begin(), source->end());
    }
    return std::nullopt;
}

// Names outside ASCII ("Лист1") are in the project's code page in MODULESTREAMNAME, so only the
// Unicode record matches the storage's UTF-16 names.
const std::string& StreamNameOf(const Module& m) {
    if (!m.unicodeStreamName.empty()) return m.unicodeStreamName;
    return m.streamName.empty() ? m.name : m.streamName;
}

Project ReadProject(const cfb::CompoundFile& file, std::uint32_t projectStorage) {
    Project project;
    auto vbaStorage = file.Child(projectStorage, "VBA");
    if (!vbaStorage) {
        project.problem = "no VBA storage";
        return project;
    }
    if (auto text = file.Child(projectStorage, "PROJECT")) {
        if (auto bytes = file.ReadStream(*text)) project.projectText.assign(bytes->begin(), bytes->end());
    }
    auto dirIndex = file.Child(*vbaStorage, "dir");
    auto dirStream = dirIndex ? file.ReadStream(*dirIndex) : std::nullopt;
    auto dir = dirStream ? ovba::Decompress(*dirStream) : std::nullopt;
    if (!dir) {
        project.problem = dirStream ? "unreadable dir stream" : "missing dir stream";
    } else if (!ParseDir(*dir, project)) {
        project.problem = "malformed dir stream";
    } else {
        project.dirReadable = true;
    }
    for (Module& m : project.modules) ReadModule(file, *vbaStorage, m);
    for (std::uint32_t child : file.entries()[*vbaStorage].children) {
        const std::string& name = file.entries()[child].name;
        if (IsProjectBookkeeping(name)) continue;
        const bool named = std::any_of(project.modules.begin(), project.modules.end(), [&](const Module& m) {
            return EqualsNoCase(StreamNameOf(m), name);
        });
        if (named) continue;
        project.orphanStreams.push_back(name);
        if (auto stream = file.ReadStream(child)) {
            if (auto source = FindCompressedSource(*stream)) {
                Module m;
                m.name = m.streamName = m.unicodeStreamName = name;
                m.streamPresent = m.sourceReadable = true;
                m.source = std::move(*source);
                project.orphanSources.push_back(std::move(m));
            }
        }
    }
    // Bounded so a huge PROJECT stream times many modules cannot stall the scan.
    constexpr std::size_t kMaxProjectTextForListing = 1u << 20;
    if (!project.projectText.empty() && project.projectText.size() <= kMaxProjectTextForListing)
        FindHiddenModules(project);
    return project;
}

std::vector<std::uint32_t> FindProjectStorages(const cfb::CompoundFile& file) {
    std::vector<std::uint32_t> found;
    const auto& entries = file.entries();
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const auto type = entries[i].type;
        if (type != cfb::EntryType::kStorage && type != cfb::EntryType::kRoot) continue;
        if (i != 0 && entries[i].parent == cfb::kNoStream) continue;  // not reached by the tree walk
        auto vba = file.Child(i, "VBA");
        if (vba && entries[*vba].type == cfb::EntryType::kStorage) found.push_back(i);
    }
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
