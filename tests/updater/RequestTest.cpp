// The update request body: the wrapper's fields, the switch to compression at 80 characters, and
// compression that zlib's own inflate undoes.
#include <gtest/gtest.h>

#include <zlib.h>

#include "UpdateRequest.h"
#include "modCommon.h"
#include "modZlib.h"

using namespace tessaly;
using namespace tessaly::updater;

namespace {

std::string Inflate(const std::wstring& hex) {
    std::string packed;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        packed += static_cast<char>(std::stoi(std::string(hex.begin() + i, hex.begin() + i + 2), nullptr, 16));
    std::string plain(1 << 20, '\0');
    uLongf size = static_cast<uLongf>(plain.size());
    if (uncompress(reinterpret_cast<Bytef*>(plain.data()), &size, reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK)
        return "(inflate failed)";
    return plain.substr(0, size);
}

}  // namespace

TEST(UpdateRequestBody, WrapsShortQueriesAsPlainHex) {
    EXPECT_EQ(PackRequestData(L"ABC"), L"size=6&checksum=0&zip=0&data=414243");
    const std::wstring query79(79, L'x');
    const std::wstring hex79 = TextToHex(query79);
    EXPECT_EQ(PackRequestData(query79), L"size=158&checksum=0&zip=0&data=" + hex79);
    // "size" counts the characters of the data text, also for text outside ASCII.
    EXPECT_EQ(PackRequestData(L"\u6c49"), L"size=6&checksum=0&zip=0&data=E6B189");
}

TEST(UpdateRequestBody, CompressesQueriesOfEightyCharacters) {
    const std::wstring query80 = L"AppVer=" + std::wstring(73, L'7');
    ASSERT_EQ(query80.size(), 80u);
    const std::wstring body = PackRequestData(query80);
    const std::wstring prefix = L"&checksum=0&zip=1&data=";
    const std::size_t at = body.find(prefix);
    ASSERT_NE(at, std::wstring::npos) << body;
    const std::wstring data = body.substr(at + prefix.size());
    EXPECT_EQ(body.substr(0, at), L"size=" + std::to_wstring(data.size()));
    EXPECT_EQ(data.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    EXPECT_EQ(Inflate(data), std::string(query80.begin(), query80.end()));
}

TEST(UpdateRequestBody, CompressionRoundTripsThroughInflate) {
    const std::wstring text = L"UUID=\u6c49\u5b57&OSMajorVer=3130&" + std::wstring(5000, L'q');
    const std::wstring hex = CompressToHex(text);
    ASSERT_FALSE(hex.empty());
    const ByteSequence utf8 = TextToUtf8Bytes(text);
    EXPECT_EQ(Inflate(hex), std::string(utf8.begin(), utf8.end()));
    // Level 6 of zlib: the stream header says so.
    EXPECT_EQ(hex.substr(0, 4), L"789C");
}

TEST(UpdateRequestBody, CompressBytesSizesItsBufferAndReportsTheLength) {
    std::vector<unsigned char> dest;
    const std::vector<unsigned char> src(1000, 'a');
    const std::int32_t length = CompressBytes(dest, src, 6);
    EXPECT_EQ(dest.size(), 1022u);  // 1000 x 1.01 + 12
    EXPECT_GT(length, 0);
    EXPECT_LT(length, 100);
    // 50 x 1.01 + 12 = 62.5 goes to the even neighbour 62; 150 x 1.01 + 12 = 163.5 goes to 164.
    CompressBytes(dest, std::vector<unsigned char>(50, 'b'), 6);
    EXPECT_EQ(dest.size(), 62u);
    CompressBytes(dest, std::vector<unsigned char>(150, 'b'), 6);
    EXPECT_EQ(dest.size(), 164u);
}

TEST(UpdateRequestBody, QueryCarriesVersionLevelAndFacts) {
    EXPECT_EQ(BuildUpdateQuery(L"2021.2.25", true, L""), L"AppVer=323032312E322E3235&ExecutionLevel=31");
    EXPECT_EQ(BuildUpdateQuery(L"0.0.0", false, L"UUID=41&OSMajorVer=3130"),
              L"AppVer=302E302E30&ExecutionLevel=30&UUID=41&OSMajorVer=3130");
}
