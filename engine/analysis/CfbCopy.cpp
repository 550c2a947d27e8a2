// Depth is bounded by the reader's own tree walk, which refuses storages nested too deep.
#include "CfbCopy.h"

namespace tessaly::analysis::cfb {
namespace {

void CopyAttributes(const Entry& from, Node& to) {
    to.clsid = from.clsid;
    to.stateBits = from.stateBits;
    to.times = from.times;
}

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
        std::optional<ByteVec> data;
        if (replaced) {
            if (auto it = replaced->find(e.name); it != replaced->end()) {
                if (!it->second) continue;
                data = it->second;
            }
        }
        if (!data) data = file.ReadStream(c);
        if (!data) return false;
        Node& s = into.AddStream(e.name, std::move(*data));
        CopyAttributes(e, s);
        s.times = {};
    }
    return true;
}

}  // namespace

std::optional<Node> CopyTree(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced) {
    Node root;
    CopyAttributes(file.root(), root);
    if (!CopyChildren(file, 0, root, &replaced)) return std::nullopt;
    return root;
}

std::optional<ByteVec> RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced) {
    auto root = CopyTree(file, replaced);
    if (!root) return std::nullopt;
    return WriteCompoundFile(*root, file.majorVersion() == 4 ? 4 : 3);
}

}  // namespace tessaly::analysis::cfb
