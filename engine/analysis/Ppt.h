// PowerPoint 97-2003 presentations (.ppt, .pps, .pot): the records of the "PowerPoint Document"
// stream, its persist object directory (found through the "Current User" stream and the chain of
// user edits), and the storages it embeds compressed, the VBA project among them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Cfb.h"
#include "PptFormat.h"

namespace tessaly::analysis::ppt {

inline constexpr std::string_view kDocumentStream = "PowerPoint Document";
inline constexpr std::string_view kCurrentUserStream = "Current User";

struct RecordHeader {
    std::uint16_t version = 0;
    std::uint16_t instance = 0;
    std::uint16_t type = 0;
    std::uint32_t length = 0;
    [[nodiscard]] bool isContainer() const { return version == header::kContainerVersion; }
};

// The header at `at` when the record it announces lies inside `data`.
std::optional<RecordHeader> ReadHeader(Bytes data, std::size_t at);

// One user edit: where its UserEditAtom and PersistDirectoryAtom are, and what it says.
struct UserEdit {
    std::size_t offset = 0;
    std::size_t directoryOffset = 0;
    std::uint32_t docPersistIdRef = 0;
    std::uint32_t encryptSessionPersistIdRef = 0;  // 0 when the edit names none
    std::map<std::uint32_t, std::uint32_t> directory;  // persist id -> stream offset, this edit only
};

struct PersistDirectory {
    std::vector<UserEdit> edits;                  // newest first
    std::map<std::uint32_t, std::uint32_t> live;  // newest offset of every persist id
};

std::optional<std::uint32_t> CurrentEditOffset(Bytes currentUser);
bool CurrentUserSaysEncrypted(Bytes currentUser);
std::optional<PersistDirectory> ReadPersistDirectory(Bytes stream, std::uint32_t currentEdit);

// Where a document container keeps the reference to its VBA project: the VBAInfoAtom inside a
// VBAInfoContainer of its document info list. PowerPoint writes one for every presentation; one
// without macros names persist id 0 and says the storage is empty.
struct VbaInfoPlace {
    std::size_t atomOffset = 0;  // the VBAInfoAtom record, inside its container
    std::uint32_t persistIdRef = 0;
    bool hasMacros = false;
};
// Every VBA information atom of the document container, in record order.
std::vector<VbaInfoPlace> FindVbaInfo(Bytes stream, std::size_t documentOffset);

// Offsets of the top-level records, in stream order, as far as they can be walked.
struct TopLevel {
    std::vector<std::size_t> offsets;
    bool complete = false;  // the walk reached the end of the stream exactly
};
TopLevel WalkTopLevel(Bytes stream);

struct EmbeddedStorage {
    std::size_t offset = 0;
    bool isVbaProject = false;       // the storage the current document's VBAInfoAtom names
    std::optional<ByteVec> storage;  // the compound file inside, nullopt when it cannot be read
};

struct Presentation {
    bool encrypted = false;
    std::vector<EmbeddedStorage> storages;
};

// Never fails: a stream that cannot be walked yields what could be found. `currentUser` is empty
// when the file has no "Current User" stream. Storages are copied and inflated on `budget` when
// one is given; one beyond it is not read (nullopt).
Presentation ReadPresentation(Bytes document, Bytes currentUser, WorkBudget* budget = nullptr);
Presentation ReadPresentation(const cfb::CompoundFile& file, WorkBudget* budget = nullptr);

// True when the storage bytes are a VBA project storage (a compound file whose root holds the
// "VBA" storage), as PowerPoint stores its own project; an embedded document is no such storage.
bool IsVbaProjectStorage(const std::optional<ByteVec>& storage, WorkBudget* budget = nullptr);

}  // namespace tessaly::analysis::ppt
