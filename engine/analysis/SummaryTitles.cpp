// The document summary stream's first property set holds the listing; a second set (the user's
// own properties) may follow it and moves with its end. Excel writes the strings of the two vectors
// without padding between them, other writers pad each to four bytes: a value is read the way that
// fills it exactly, or not at all. Kept strings are copied as they were written.
#include <algorithm>

#include "PartTitles.h"
#include "PropertySetFormat.h"
#include "Text.h"
#include "TitleRemoval.h"

namespace tessaly::analysis {
namespace {

using namespace propset;

struct RawString {
    std::string text;  // UTF-8
    Bytes raw;         // the whole typed string as stored: count, characters, any padding
};

struct Vectors {
    std::vector<RawString> headings;  // each with its type and padding words
    std::vector<std::int32_t> counts;
    std::vector<RawString> titles;    // without type words: the vector's type says it
    std::uint16_t titleType = 0;
};

struct Property {
    std::size_t entry = 0;  // its place in the set's table
    std::uint32_t id = 0;
    std::size_t offset = 0, end = 0;  // in the set
};

struct Layout {
    std::size_t setOffset = 0, setSize = 0;
    std::optional<std::size_t> secondSet;
    std::vector<Property> properties;  // by offset
    Vectors vectors;
};

std::string Text(Bytes chars, std::uint16_t type, bool utf8) {
    if (type == value::kLpwstr) {
        std::size_t units = 0;
        while (units * 2 + 1 < chars.size() && (chars[units * 2] | chars[units * 2 + 1]) != 0) ++units;
        return Utf16LeToUtf8(chars.first(units * 2));
    }
    const auto nul = std::find(chars.begin(), chars.end(), 0);
    if (utf8) return std::string(chars.begin(), nul);
    std::u16string latin1(chars.begin(), nul);
    return Utf16ToUtf8(latin1);
}

std::optional<RawString> ReadString(ByteReader& r, Bytes whole, std::uint16_t type, bool aligned, bool utf8) {
    const std::size_t start = r.pos();
    const std::uint64_t count = r.u32();
    const std::uint64_t bytes = type == value::kLpwstr ? count * 2 : count;
    if (bytes > r.remaining()) return std::nullopt;
    const Bytes chars = r.bytes(static_cast<std::size_t>(bytes));
    if (aligned) r.skip((set::kAlignment - chars.size() % set::kAlignment) % set::kAlignment);
    if (!r.ok()) return std::nullopt;
    return RawString{Text(chars, type, utf8), whole.subspan(start, r.pos() - start)};
}

// A value read to its end, allowing only the padding to four bytes after it.
bool FillsValue(const ByteReader& r) { return r.ok() && r.remaining() < set::kAlignment; }

bool ReadTitles(Bytes v, Vectors& out, bool aligned, bool utf8) {
    ByteReader r(v);
    const std::uint16_t type = r.u16();
    r.u16();
    const std::uint32_t count = r.u32();
    out.titleType = static_cast<std::uint16_t>(type & ~value::kVector);
    if (!(type & value::kVector) || (out.titleType != value::kLpstr && out.titleType != value::kLpwstr)) return false;
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        auto s = ReadString(r, v, out.titleType, aligned, utf8);
        if (!s) return false;
        out.titles.push_back(std::move(*s));
    }
    return FillsValue(r);
}

bool ReadHeadings(Bytes v, Vectors& out, bool aligned, bool utf8) {
    ByteReader r(v);
    if (r.u16() != (value::kVector | value::kVariant)) return false;
    r.u16();
    const std::uint32_t count = r.u32();
    if (count % 2 != 0) return false;
    for (std::uint32_t i = 0; i < count / 2 && r.ok(); ++i) {
        const std::size_t start = r.pos();
        const std::uint16_t type = r.u16();
        r.u16();
        if (type != value::kLpstr && type != value::kLpwstr) return false;
        auto s = ReadString(r, v, type, aligned, utf8);
        if (!s || r.u16() != value::kI4) return false;
        r.u16();
        out.counts.push_back(static_cast<std::int32_t>(r.u32()));
        s->raw = v.subspan(start, s->raw.data() + s->raw.size() - v.data() - start);
        out.headings.push_back(std::move(*s));
    }
    return FillsValue(r);
}

const Property* Find(const Layout& l, std::uint32_t id) {
    const auto it = std::find_if(l.properties.begin(), l.properties.end(), [&](const Property& p) { return p.id == id; });
    return it == l.properties.end() ? nullptr : &*it;
}

Bytes ValueOf(Bytes set, const Property& p) { return set.subspan(p.offset, p.end - p.offset); }

bool ReadTable(Bytes stream, Layout& l) {
    ByteReader r(stream);
    if (r.get(stream::kByteOrder) != stream::kByteOrderMark) return false;
    const std::uint32_t sets = r.get(stream::kSetCount);
    l.setOffset = r.get(stream::kSetOffset, stream::kFirstSetEntry);
    if (sets == 2) l.secondSet = r.get(stream::kSetOffset, stream::kFirstSetEntry + stream::kSetEntrySize);
    l.setSize = r.get(set::kSize, l.setOffset);
    const std::uint32_t count = r.get(set::kPropertyCount, l.setOffset);
    const std::size_t table = set::kFirstPropertyEntry + static_cast<std::size_t>(count) * set::kPropertyEntrySize;
    if (!r.ok() || (sets != 1 && sets != 2) || l.setSize > stream.size() - l.setOffset || table > l.setSize ||
        (l.secondSet && *l.secondSet < l.setOffset + l.setSize))
        return false;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t entry = l.setOffset + set::kFirstPropertyEntry + k * set::kPropertyEntrySize;
        const Property p{k, r.get(set::kPropertyId, entry), r.get(set::kPropertyOffset, entry), l.setSize};
        if (p.offset < table || p.offset >= l.setSize) return false;
        l.properties.push_back(p);
    }
    std::sort(l.properties.begin(), l.properties.end(), [](const Property& a, const Property& b) { return a.offset < b.offset; });
    for (std::size_t k = 0; k + 1 < l.properties.size(); ++k) l.properties[k].end = l.properties[k + 1].offset;
    return r.ok();
}

std::optional<Layout> ReadLayout(Bytes stream) {
    Layout l;
    if (!ReadTable(stream, l)) return std::nullopt;
    const Bytes set = stream.subspan(l.setOffset, l.setSize);
    const Property* codePage = Find(l, kCodePage);
    const Property* headings = Find(l, kHeadingPairs);
    const Property* titles = Find(l, kDocParts);
    if (!headings || !titles) return std::nullopt;
    const bool utf8 = codePage && ReadField(ValueOf(set, *codePage), value::kType) == value::kI2 &&
                      ReadField(ValueOf(set, *codePage), Field<std::uint16_t>{value::kHeaderSize}) == kCodePageUtf8;
    for (bool aligned : {false, true}) {
        l.vectors = {};
        if (ReadHeadings(ValueOf(set, *headings), l.vectors, aligned, utf8) && ReadTitles(ValueOf(set, *titles), l.vectors, aligned, utf8))
            return l;
    }
    return std::nullopt;
}

PartTitles Listing(const Vectors& v) {
    PartTitles t;
    for (std::size_t k = 0; k < v.headings.size(); ++k) t.headings.push_back({v.headings[k].text, v.counts[k]});
    for (const RawString& s : v.titles) t.titles.push_back(s.text);
    return t;
}

void PadToAlignment(ByteVec& out) { out.resize((out.size() + set::kAlignment - 1) / set::kAlignment * set::kAlignment, 0); }

ByteVec HeadingsValue(const Vectors& v, const TitleRemoval& plan) {
    ByteVec out;
    PutU16(out, value::kVector | value::kVariant);
    PutU16(out, 0);
    PutU32(out, 0);
    std::uint32_t kept = 0;
    for (std::size_t k = 0; k < v.headings.size(); ++k) {
        if (plan.newCounts[k] == 0) continue;
        PutBytes(out, v.headings[k].raw);
        PutU16(out, value::kI4);
        PutU16(out, 0);
        PutU32(out, static_cast<std::uint32_t>(plan.newCounts[k]));
        kept += 2;
    }
    SetField(out, Field<std::uint32_t>{value::kHeaderSize}, kept);
    PadToAlignment(out);
    return out;
}

ByteVec TitlesValue(const Vectors& v, const TitleRemoval& plan) {
    ByteVec out;
    PutU16(out, value::kVector | v.titleType);
    PutU16(out, 0);
    PutU32(out, static_cast<std::uint32_t>(std::count(plan.titleRemoved.begin(), plan.titleRemoved.end(), false)));
    for (std::size_t i = 0; i < v.titles.size(); ++i)
        if (!plan.titleRemoved[i]) PutBytes(out, v.titles[i].raw);
    PadToAlignment(out);
    return out;
}

}  // namespace

std::optional<PartTitles> ReadSummaryTitles(Bytes stream) {
    const auto layout = ReadLayout(stream);
    if (!layout) return std::nullopt;
    return Listing(layout->vectors);
}

std::optional<ByteVec> SummaryWithout(Bytes stream, const std::vector<std::string>& removed) {
    const auto l = ReadLayout(stream);
    const auto plan = l ? PlanTitleRemoval(Listing(l->vectors), removed) : std::nullopt;
    if (!plan) return std::nullopt;
    const Bytes oldSet = stream.subspan(l->setOffset, l->setSize);
    ByteVec set(set::kFirstPropertyEntry + l->properties.size() * set::kPropertyEntrySize, 0);
    for (const Property& p : l->properties) {
        const std::size_t entry = set::kFirstPropertyEntry + p.entry * set::kPropertyEntrySize;
        SetField(set, set::kPropertyId, p.id, entry);
        SetField(set, set::kPropertyOffset, static_cast<std::uint32_t>(set.size()), entry);
        if (p.id == kHeadingPairs) PutBytes(set, HeadingsValue(l->vectors, *plan));
        else if (p.id == kDocParts) PutBytes(set, TitlesValue(l->vectors, *plan));
        else PutBytes(set, ValueOf(oldSet, p));
        PadToAlignment(set);
    }
    SetField(set, set::kSize, static_cast<std::uint32_t>(set.size()));
    SetField(set, set::kPropertyCount, static_cast<std::uint32_t>(l->properties.size()));
    ByteVec out(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(l->setOffset));
    PutBytes(out, set);
    const std::size_t rest = l->secondSet.value_or(l->setOffset + l->setSize);
    if (l->secondSet) SetField(out, stream::kSetOffset, static_cast<std::uint32_t>(l->setOffset + set.size()), stream::kFirstSetEntry + stream::kSetEntrySize);
    PutBytes(out, stream.subspan(rest));
    return out;
}

}  // namespace tessaly::analysis
