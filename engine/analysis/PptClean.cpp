// Offsets into the stream live in three places: the persist directories, the user edits (their
// predecessor and their directory) and the Current User stream. All of them point at top-level
// records, so the rewrite walks the top-level records once, notes where each one lands, and then
// maps every stored offset through that table. The result is read back and compared, object by
// object, with the original before it is offered.
#include "PptClean.h"

#include <algorithm>
#include <map>
#include <set>

#include "Cfb.h"
#include "CleanRefusals.h"
#include "Ppt.h"
#include "VbaProject.h"

namespace tessaly::analysis::ppt {
namespace {

// A persist directory atom for these (id, offset) pairs, runs of consecutive ids grouped.
ByteVec DirectoryAtom(const std::map<std::uint32_t, std::uint32_t>& entries) {
    ByteVec body;
    for (auto it = entries.begin(); it != entries.end();) {
        const std::uint32_t first = it->first;
        std::uint32_t count = 0;
        auto run = it;
        while (run != entries.end() && run->first == first + count && count < persistdir::kMaxCount) {
            ++run;
            ++count;
        }
        PutU32(body, first | (count << persistdir::kCountShift));
        for (; it != run; ++it) PutU32(body, it->second);
    }
    ByteVec out(kHeaderSize, 0);
    SetField(out, header::kType, std::uint16_t{kPersistDirectoryAtom});
    SetField(out, header::kLength, static_cast<std::uint32_t>(body.size()));
    PutBytes(out, body);
    return out;
}

Bytes RecordAt(Bytes stream, std::size_t at) { return stream.subspan(at, kHeaderSize + ReadHeader(stream, at)->length); }

// The document container naming no VBA project, as PowerPoint writes a presentation without
// macros: persist id 0, storage empty. Same size, so nothing else in the record moves; nullopt
// when it names none already.
std::optional<ByteVec> WithoutVbaReference(Bytes stream, std::size_t at) {
    const auto places = FindVbaInfo(stream, at);
    if (std::none_of(places.begin(), places.end(), [](const VbaInfoPlace& p) { return p.persistIdRef != 0 || p.hasMacros; }))
        return std::nullopt;
    const Bytes original = RecordAt(stream, at);
    ByteVec record(original.begin(), original.end());
    for (const VbaInfoPlace& p : places) {
        SetField(record, vbainfo::kPersistIdRef, std::uint32_t{0}, p.atomOffset - at);
        SetField(record, vbainfo::kHasMacros, std::uint32_t{0}, p.atomOffset - at);
    }
    return record;
}

struct Plan {
    std::set<std::size_t> dropped;                                         // storage records removed
    std::map<std::size_t, ByteVec> documents;                              // document containers, rewritten
    std::map<std::size_t, std::map<std::uint32_t, std::uint32_t>> directories;  // kept entries, old offsets
    std::set<std::size_t> edits;
};

// What goes, or the reason nothing may.
std::optional<std::string_view> MakePlan(Bytes stream, Bytes currentUser, const PersistDirectory& persist,
                                         const TopLevel& walk, Plan& plan, WorkBudget* budget) {
    for (const EmbeddedStorage& s : ReadPresentation(stream, currentUser, budget).storages) {
        if (s.isVbaProject || IsVbaProjectStorage(s.storage, budget)) {
            plan.dropped.insert(s.offset);
            continue;
        }
        const auto embedded = s.storage ? cfb::CompoundFile::Open(*s.storage, nullptr, budget) : std::nullopt;
        if (embedded && !vba::FindProjectStorages(*embedded).empty()) return refusals::kEmbeddedMacros;
    }
    // A storage left unread might be the project.
    if (budget && budget->exhausted()) return refusals::kPresentationUnreadable;
    const std::set<std::size_t> records(walk.offsets.begin(), walk.offsets.end());
    for (std::size_t at : walk.offsets)
        if (ReadHeader(stream, at)->type == kDocument)
            if (auto rewritten = WithoutVbaReference(stream, at)) plan.documents[at] = std::move(*rewritten);
    for (const UserEdit& edit : persist.edits) {
        if (!records.count(edit.offset) || !records.count(edit.directoryOffset)) return refusals::kPresentationUnreadable;
        plan.edits.insert(edit.offset);
        auto& kept = plan.directories[edit.directoryOffset];
        for (const auto& [id, offset] : edit.directory) {
            if (plan.dropped.count(offset)) continue;
            if (!records.count(offset)) return refusals::kPresentationUnreadable;
            kept[id] = offset;
        }
    }
    return std::nullopt;
}

// The record as the rewrite writes it, with stored offsets not yet mapped.
ByteVec Rewritten(Bytes stream, std::size_t at, const Plan& plan) {
    if (auto d = plan.documents.find(at); d != plan.documents.end()) return d->second;
    if (auto d = plan.directories.find(at); d != plan.directories.end()) return DirectoryAtom(d->second);
    const Bytes record = RecordAt(stream, at);
    return ByteVec(record.begin(), record.end());
}

// Every persist object still named reads back as it was (document containers as edited), and the
// removed ones are gone.
bool SameObjects(Bytes before, const PersistDirectory& old, Bytes after, const ByteVec& currentUser, const Plan& plan) {
    const auto edit = CurrentEditOffset(currentUser);
    const auto now = edit ? ReadPersistDirectory(after, *edit) : std::nullopt;
    if (!now) return false;
    for (const auto& [id, offset] : old.live) {
        const auto it = now->live.find(id);
        if (plan.dropped.count(offset)) {
            if (it != now->live.end()) return false;
            continue;
        }
        if (it == now->live.end() || !ReadHeader(after, it->second)) return false;
        const ByteVec expected = Rewritten(before, offset, plan);
        const Bytes got = RecordAt(after, it->second);
        if (!std::equal(expected.begin(), expected.end(), got.begin(), got.end())) return false;
    }
    return true;
}

}  // namespace

PresentationRewrite WithoutVbaProject(Bytes stream, Bytes currentUser, WorkBudget* budget) {
    PresentationRewrite result;
    auto refuse = [&](std::string_view why) {
        result.refusal = std::string(why);
        return result;
    };
    const auto currentEdit = CurrentEditOffset(currentUser);
    const auto persist = currentEdit ? ReadPersistDirectory(stream, *currentEdit) : std::nullopt;
    const TopLevel walk = WalkTopLevel(stream);
    if (!persist || !walk.complete || CurrentUserSaysEncrypted(currentUser)) return refuse(refusals::kPresentationUnreadable);
    Plan plan;
    if (auto why = MakePlan(stream, currentUser, *persist, walk, plan, budget)) return refuse(*why);

    std::map<std::size_t, std::uint32_t> moved;
    std::vector<ByteVec> pieces;
    std::uint32_t size = 0;
    for (std::size_t at : walk.offsets) {
        if (plan.dropped.count(at)) continue;
        moved[at] = size;
        pieces.push_back(Rewritten(stream, at, plan));
        size += static_cast<std::uint32_t>(pieces.back().size());
    }
    auto map = [&](std::uint32_t old) { return moved.at(old); };  // MakePlan checked every stored offset
    ByteVec out;
    out.reserve(size);
    std::size_t piece = 0;
    for (std::size_t at : walk.offsets) {
        if (plan.dropped.count(at)) continue;
        ByteVec& bytes = pieces[piece++];
        if (auto d = plan.directories.find(at); d != plan.directories.end()) {
            std::map<std::uint32_t, std::uint32_t> entries;
            for (const auto& [id, offset] : d->second) entries[id] = map(offset);
            bytes = DirectoryAtom(entries);
        } else if (plan.edits.count(at)) {
            // ReadUserEdit read these fields already, so they are there.
            ByteReader fields(bytes);
            const std::uint32_t previous = fields.get(useredit::kLastEditOffset);
            const std::uint32_t directory = fields.get(useredit::kDirectoryOffset);
            if (previous != 0) SetField(bytes, useredit::kLastEditOffset, map(previous));
            SetField(bytes, useredit::kDirectoryOffset, map(directory));
        }
        PutBytes(out, bytes);
    }
    ByteVec user(currentUser.begin(), currentUser.end());
    SetField(user, currentuser::kCurrentEditOffset, map(*currentEdit));
    if (!SameObjects(stream, *persist, out, user, plan)) return refuse(refusals::kPresentationUnreadable);
    result.document = std::move(out);
    result.currentUser = std::move(user);
    return result;
}

}  // namespace tessaly::analysis::ppt
