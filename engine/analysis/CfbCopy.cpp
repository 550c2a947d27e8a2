// Depth is bounded by the reader's own tree walk, which refuses storages nested too deep.
#include "CfbCopy.h"

namespace tessaly::analysis::cfb {
namespace {

bool CopyChildren(const CompoundFile& file, std::uint32_t storage, Node& into,
                  const std::map<std::string, std::optional<ByteVec>>* replaced) {
    for (std::uint32_t c : file.entries()[storage].children) {
        const Entry& e = file.entries()[c];
        if (e.type == EntryType::kStorage) {
            Node& s = into.AddStorage(e.name);
            CopyAttributes(e, s);
            if (!CopyChildren(file, c, s, nullptr)) return false;
            continue;
        }
        const std::optional<ByteVec>* replacement = nullptr;
        if (replaced)
            if (auto it = replaced->find(e.name); it != replaced->end()) replacement = &it->second;
        if (replacement) {
            if (*replacement) CopyAttributes(e, into.AddStream(e.name, **replacement));
        } else if (!AddStreamCopy(file, c, into)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CopyAttributes(const Entry& from, Node& to) {
    to.clsid = from.clsid;
    to.stateBits = from.stateBits;
    to.times = from.times;
}

Node* AddStreamCopy(const CompoundFile& file, std::uint32_t index, Node& into) {
    const Entry& e = file.entries()[index];
    auto view = file.OpenStream(index);
    if (!view || !view->complete()) return nullptr;
    Node& node = into.AddStream(e.name, view->size(), [view = *view, name = e.name](ByteSink& out) {
        if (!view.ForEachPiece([&](Bytes piece) {
                out.Write(piece);
                return true;
            }))
            throw SourceFailed("unreadable stream " + name);
    });
    CopyAttributes(e, node);
    return &node;
}

std::optional<Node> CopyTree(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced) {
    Node root;
    CopyAttributes(file.root(), root);
    if (!CopyChildren(file, 0, root, &replaced)) return std::nullopt;
    return root;
}

bool RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced, ByteSink& out) {
    auto root = CopyTree(file, replaced);
    if (!root) return false;
    try {
        WriteCompoundFile(*root, out, file.majorVersion() == 4 ? 4 : 3);
    } catch (const SourceFailed&) {
        return false;
    }
    return true;
}

std::optional<ByteVec> RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced) {
    MemorySink sink;
    if (!RewriteWith(file, replaced, sink)) return std::nullopt;
    return sink.Take();
}

}  // namespace tessaly::analysis::cfb
