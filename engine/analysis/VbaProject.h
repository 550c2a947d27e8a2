// A VBA project read from its storage (the one holding "VBA" and "PROJECT"): the "dir" stream's
// module list, every module's decompressed source, the PROJECT stream and orphaned streams.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Budget.h"
#include "Cfb.h"

namespace tessaly::analysis::vba {

struct Module {
    std::string name;        // from the MODULENAME record
    std::string unicodeName; // from MODULENAMEUNICODE, may disagree on purpose
    std::string streamName;         // MODULESTREAMNAME in the project's code page
    std::string unicodeStreamName;  // MODULESTREAMNAMEUNICODE: what the storage really names
    std::uint32_t textOffset = 0;
    bool streamPresent = false;
    bool sourceReadable = false;
    bool hasCompiledCode = false;  // bytes before the source (p-code) are present
    bool sharesSource = false;     // names the stream and offset of an earlier module, whose source it is
    std::string source;
};

// The stream a module's source lives in, as the compound file names it (UTF-8).
const std::string& StreamNameOf(const Module& m);

struct Project {
    std::vector<Module> modules;
    std::vector<std::string> orphanStreams;  // module-like streams the dir stream does not name
    std::vector<Module> orphanSources;       // source found inside orphaned streams
    std::string projectText;                 // the PROJECT stream
    std::vector<std::string> hiddenModules;  // in dir but missing from PROJECT
    bool dirReadable = false;
    bool overBudget = false;                 // reading stopped when the work budget ran out
    std::string problem;                     // why the project could not be read fully
};

// Reads the project under the storage `projectStorage` (e.g. "Macros" or the root of
// vbaProject.bin). Never fails: what cannot be read is reported in the result.
// A project storage whose link to its "VBA" storage was lost may be given as the "VBA" storage
// itself. Each stream is decompressed once however many records name it.
Project ReadProject(const cfb::CompoundFile& file, std::uint32_t projectStorage, WorkBudget* budget = nullptr);

// Storages of the file that hold a VBA project (a "VBA" child storage with a "dir" stream), and
// "VBA" storages whose parent the directory tree lost.
std::vector<std::uint32_t> FindProjectStorages(const cfb::CompoundFile& file);

// Source in a stream whose offset no record gives (an orphaned module, a project of Excel 5.0/95):
// the first place a compressed container starts and decompresses to something. The probes and what
// they decompress are charged to `budget` when one is given.
std::optional<std::string> FindCompressedSource(Bytes stream, WorkBudget* budget = nullptr);

// True when any module carries more than the attribute lines the editor writes for every module.
bool HasMeaningfulCode(const Project& project);

}  // namespace tessaly::analysis::vba
