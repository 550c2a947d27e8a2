// Every record is read through its header and checked against the bytes that hold it; the edit
// chain has a visited set, so a looping chain ends. Storages are looked for twice: in the walk of
// the top-level records (which finds stale and unreferenced copies too) and through the persist
// directories (which still works where garbage interrupts the walk).
#include "Ppt.h"

#include <algorithm>
#include <set>

#include "Limits.h"
#include "VbaProject.h"
#include "ZlibInflate.h"

namespace tessaly::analysis::ppt {
namespace {

std::optional<std::map<std::uint32_t, std::uint32_t>> ReadDirectoryAtom(Bytes stream, std::size_t at) {
    const auto header = ReadHeader(stream, at);
    if (!header || header->type != kPersistDirectoryAtom) return std::nullopt;
    std::map<std::uint32_t, std::uint32_t> directory;
    ByteReader r(stream.subspan(at + kHeaderSize, header->length));
    while (!r.atEnd()) {
        const std::uint32_t word = r.u32();
        const std::uint32_t first = word & persistdir::kIdMask;
        const std::uint32_t count = word >> persistdir::kCountShift;
        for (std::uint32_t k = 0; k < count && r.ok(); ++k) directory[first + k] = r.u32();
        if (!r.ok()) return std::nullopt;
    }
    return directory;
}

std::optional<UserEdit> ReadUserEdit(Bytes stream, std::size_t at, std::uint32_t& previous) {
    const auto header = ReadHeader(stream, at);
    if (!header || header->type != kUserEditAtom || header->length < useredit::kMinLength) return std::nullopt;
    ByteReader r(stream.subspan(at, kHeaderSize + header->length));
    UserEdit edit;
    edit.offset = at;
    previous = r.get(useredit::kLastEditOffset);
    edit.directoryOffset = r.get(useredit::kDirectoryOffset);
    edit.docPersistIdRef = r.get(useredit::kDocPersistIdRef);
    if (kHeaderSize + header->length >= useredit::kEncryptSessionRef.end())
        edit.encryptSessionPersistIdRef = r.get(useredit::kEncryptSessionRef);
    if (!r.ok()) return std::nullopt;
    auto directory = ReadDirectoryAtom(stream, edit.directoryOffset);
    if (!directory) return std::nullopt;
    edit.directory = std::move(*directory);
    return edit;
}

// The container's children, each a (header, offset) pair, when they tile the container exactly.
std::optional<std::vector<std::pair<RecordHeader, std::size_t>>> Children(Bytes stream, std::size_t at) {
    const auto header = ReadHeader(stream, at);
    if (!header || !header->isContainer()) return std::nullopt;
    std::vector<std::pair<RecordHeader, std::size_t>> children;
    const std::size_t end = at + kHeaderSize + header->length;
    for (std::size_t p = at + kHeaderSize; p < end;) {
        const auto child = ReadHeader(stream.first(end), p);
        if (!child) return std::nullopt;
        children.push_back({*child, p});
        p += kHeaderSize + child->length;
    }
    return children;
}

// The storage of an ExOleObjStg record, its copy or inflation charged to `budget`; `held` is what
// the storages read so far take together.
std::optional<ByteVec> StorageOf(Bytes stream, std::size_t at, std::size_t& held, WorkBudget* budget) {
    const auto header = ReadHeader(stream, at);
    if (!header || header->type != kExternalOleObjectStg) return std::nullopt;
    const Bytes record = stream.subspan(at, kHeaderSize + header->length);
    std::optional<ByteVec> storage;
    if (header->instance != oleobjstg::kCompressedInstance) {
        const Bytes body = record.subspan(kHeaderSize);
        if (body.size() > limits::kMaxPresentationStorageBytes - held || (budget && !budget->ChargeRead(body.size())))
            return std::nullopt;
        storage.emplace(body.begin(), body.end());
    } else if (const auto declared = ReadField(record, oleobjstg::kDecompressedSize)) {
        const std::size_t cap = std::min(limits::kMaxPresentationStorageBytes - held, limits::kMaxStreamBytes);
        storage = InflateZlib(record.subspan(oleobjstg::kCompressedDataOffset), *declared, cap, budget);
    }
    if (storage) held += storage->size();
    return storage;
}

}  // namespace

std::optional<RecordHeader> ReadHeader(Bytes data, std::size_t at) {
    ByteReader r(data);
    const std::uint16_t versionAndInstance = r.get(header::kVersionAndInstance, at);
    RecordHeader h;
    h.type = r.get(header::kType, at);
    h.length = r.get(header::kLength, at);
    if (!r.ok() || h.length > data.size() - at - kHeaderSize) return std::nullopt;
    h.version = versionAndInstance & header::kVersionMask;
    h.instance = versionAndInstance >> header::kInstanceShift;
    return h;
}

std::optional<std::uint32_t> CurrentEditOffset(Bytes currentUser) {
    const auto header = ReadHeader(currentUser, 0);
    if (!header || header->type != kCurrentUserAtom) return std::nullopt;
    return ReadField(currentUser.first(kHeaderSize + header->length), currentuser::kCurrentEditOffset);
}

bool CurrentUserSaysEncrypted(Bytes currentUser) {
    return ReadField(currentUser, currentuser::kHeaderToken) == currentuser::kEncryptedHeaderToken;
}

std::optional<PersistDirectory> ReadPersistDirectory(Bytes stream, std::uint32_t currentEdit) {
    PersistDirectory result;
    // Every edit has a directory of its own: edits that share one would have it read once each.
    std::set<std::size_t> visited, directories;
    std::size_t at = currentEdit;
    while (true) {
        if (visited.size() >= limits::kMaxPresentationEdits || !visited.insert(at).second) return std::nullopt;
        std::uint32_t previous = 0;
        auto edit = ReadUserEdit(stream, at, previous);
        if (!edit || !directories.insert(edit->directoryOffset).second) return std::nullopt;
        for (const auto& [id, offset] : edit->directory) result.live.emplace(id, offset);  // newest wins
        result.edits.push_back(std::move(*edit));
        if (previous == 0) return result;
        at = previous;
    }
}

std::vector<VbaInfoPlace> FindVbaInfo(Bytes stream, std::size_t documentOffset) {
    std::vector<VbaInfoPlace> places;
    const auto document = ReadHeader(stream, documentOffset);
    if (!document || document->type != kDocument) return places;
    const auto children = Children(stream, documentOffset);
    if (!children) return places;
    for (const auto& [header, at] : *children) {
        if (header.type != kList) continue;
        const auto entries = Children(stream, at);
        if (!entries) continue;
        for (const auto& [entry, entryAt] : *entries) {
            if (entry.type != kVbaInfo) continue;
            // The atom is the container's child: one the container has no room for is not its.
            const auto atoms = Children(stream, entryAt);
            if (!atoms || atoms->empty() || atoms->front().first.type != kVbaInfoAtom) continue;
            const auto& [atom, atomAt] = atoms->front();
            ByteReader r(stream.subspan(atomAt, kHeaderSize + atom.length));
            const VbaInfoPlace place{atomAt, r.get(vbainfo::kPersistIdRef), r.get(vbainfo::kHasMacros) != 0};
            if (r.ok()) places.push_back(place);
        }
    }
    return places;
}

TopLevel WalkTopLevel(Bytes stream) {
    TopLevel walk;
    std::size_t at = 0;
    while (at + kHeaderSize <= stream.size()) {
        const auto header = ReadHeader(stream, at);
        if (!header) return walk;
        walk.offsets.push_back(at);
        at += kHeaderSize + header->length;
    }
    walk.complete = at == stream.size();
    return walk;
}

Presentation ReadPresentation(Bytes stream, Bytes currentUser, WorkBudget* budget) {
    Presentation p;
    p.encrypted = !currentUser.empty() && CurrentUserSaysEncrypted(currentUser);
    std::optional<PersistDirectory> persist;
    if (auto edit = CurrentEditOffset(currentUser)) persist = ReadPersistDirectory(stream, *edit);
    std::optional<std::size_t> vbaOffset;
    if (persist) {
        const UserEdit& current = persist->edits.front();
        if (current.encryptSessionPersistIdRef != 0 && persist->live.count(current.encryptSessionPersistIdRef)) {
            const auto session = ReadHeader(stream, persist->live.at(current.encryptSessionPersistIdRef));
            if (session && session->type == kCryptSession10Container) p.encrypted = true;
        }
        if (persist->live.count(current.docPersistIdRef))
            for (const VbaInfoPlace& info : FindVbaInfo(stream, persist->live.at(current.docPersistIdRef)))
                if (info.persistIdRef != 0 && persist->live.count(info.persistIdRef))
                    vbaOffset = persist->live.at(info.persistIdRef);
    }
    if (p.encrypted) return p;  // every persist object is encrypted: nothing more can be read
    std::set<std::size_t> candidates;
    for (std::size_t at : WalkTopLevel(stream).offsets) candidates.insert(at);
    if (persist)
        for (const UserEdit& edit : persist->edits)
            for (const auto& [id, at] : edit.directory) candidates.insert(at);
    // All storages together are held in memory and inflate on the scan's budget: many small records
    // that each claim a huge storage add up to neither a hang nor gigabytes.
    std::size_t held = 0;
    for (std::size_t at : candidates) {
        const auto header = ReadHeader(stream, at);
        if (!header || header->type != kExternalOleObjectStg) continue;
        p.storages.push_back({at, vbaOffset && *vbaOffset == at, StorageOf(stream, at, held, budget)});
    }
    return p;
}

Presentation ReadPresentation(const cfb::CompoundFile& file, WorkBudget* budget) {
    const auto streamIndex = file.Child(0, kDocumentStream);
    const auto stream = streamIndex ? file.ReadStream(*streamIndex) : std::nullopt;
    if (!stream) return {};
    ByteVec currentUser;
    if (auto cu = file.Child(0, kCurrentUserStream)) currentUser = file.ReadStream(*cu).value_or(ByteVec{});
    Presentation p = ReadPresentation(*stream, currentUser, budget);
    if (file.Child(0, "EncryptedSummary")) {
        p.encrypted = true;
        p.storages.clear();
    }
    return p;
}

bool IsVbaProjectStorage(const std::optional<ByteVec>& storage, WorkBudget* budget) {
    if (!storage) return false;
    const auto inner = cfb::CompoundFile::Open(*storage, nullptr, budget);
    if (!inner) return false;
    const auto projects = vba::FindProjectStorages(*inner);
    return std::find(projects.begin(), projects.end(), 0u) != projects.end();
}

}  // namespace tessaly::analysis::ppt
