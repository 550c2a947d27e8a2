// The record layer of Excel binary workbooks (.xlsb parts): a type of one or two 7-bit groups and
// a size of up to four, then the data. Also the string forms the records use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis::xlsb {

struct Record {
    std::size_t offset = 0;      // of the header
    std::size_t dataOffset = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    [[nodiscard]] std::size_t end() const { return dataOffset + size; }
};

std::optional<std::vector<Record>> ListRecords(Bytes part);
ByteVec MakeRecord(std::uint32_t type, Bytes data);

// XLWideString / XLNullableWideString: a 32-bit character count, then UTF-16LE; a count of
// 0xFFFFFFFF is the null string. Read as UTF-8; written from ASCII (the names the cleaner makes).
std::optional<std::string> ReadWideString(ByteReader& r, bool* isNull = nullptr);
void PutWideString(ByteVec& out, std::string_view ascii);

}  // namespace tessaly::analysis::xlsb
