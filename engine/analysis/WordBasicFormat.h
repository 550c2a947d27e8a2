// On-disk layout of the WordBasic macros of Word 6.0/95 documents, in the WordDocument stream: the
// FIB fields that place the text and the macro tables, the command table's record kinds and the
// macro descriptor (Mcd) fields, by name. The FIB's own start is WordFib.h's.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::wordbasic {

// Where a table lies in the stream: its offset and length fields in the FIB.
struct TablePlace {
    Field<std::uint32_t> offset, length;
};

namespace header {
inline constexpr Field<std::uint32_t> kFcMin{0x18};  // the document's text, from fcMin to fcMac
inline constexpr Field<std::uint32_t> kFcMac{0x1C};
inline constexpr TablePlace kCommandTable{{0x118}, {0x11C}};  // fcCmds, lcbCmds
// Two more tables of the macro era follow the command table; they are emptied with it.
inline constexpr TablePlace kMacroEraTables[] = {{{0x120}, {0x124}}, {{0x128}, {0x12C}}};
inline constexpr std::size_t kSize = 0x300;  // the Word 6.0/95 FIB, where its text starts
}  // namespace header

// The command table: kTableStart, records each known by a first byte, kTableEnd.
inline constexpr std::uint8_t kTableStart = 0xFF;
inline constexpr std::uint8_t kTableEnd = 0x40;
enum CommandRecord : std::uint8_t {
    kMacros = 0x01,             // a count, then that many Mcds
    kAllocatedCommands = 0x02,  // a count, then that many of kAcdSize
    kKeyMaps = 0x03,            // a count, then that many of kKmeSize
    kMoreKeyMaps = 0x04,
    kMacroNames = 0x11,  // a count, then (index, length-prefixed name, zero) each
};
inline constexpr std::size_t kAcdSize = 4;
inline constexpr std::size_t kKmeSize = 14;

// A macro descriptor. Word 97 reserves the fields that Word 6.0/95 uses for the XOR key of an
// execute-only macro and the place of its tokens.
namespace mcd {
inline constexpr std::size_t kSize = 24;
inline constexpr Field<std::uint8_t> kSignature{0};
inline constexpr std::uint8_t kSignatures[] = {0x55, 0x56};
inline constexpr Field<std::uint8_t> kXorKey{1};
inline constexpr Field<std::uint16_t> kNameIndex{2};
inline constexpr Field<std::uint32_t> kTokensLength{12};
inline constexpr Field<std::uint32_t> kTokensOffset{20};
}  // namespace mcd

}  // namespace tessaly::analysis::wordbasic
