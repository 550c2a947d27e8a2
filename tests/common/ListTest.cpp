// List helpers and the compaction of the quick-scan path list over real folders.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestSupport.h"
#include "TextConvert.h"
#include "modCommon.h"

using namespace tessaly;

TEST(Lists, AppendUniqueIgnoresCaseAndNotYetCreatedListsStart) {
    OptionalTextList list;
    EXPECT_TRUE(AppendToList(list, L"C:\\A", true));
    ASSERT_TRUE(list.has_value());
    EXPECT_TRUE(AppendToList(list, L"c:\\a", true));
    EXPECT_EQ(list->size(), 1u);
    EXPECT_TRUE(AppendToList(list, L"c:\\a", false));
    EXPECT_EQ(list->size(), 2u);
}

TEST(Lists, AppendItemsNeedsTheExactCount) {
    TextList list;
    AppendItemsToList(list, 1, {L"a", L"b"}, false);
    EXPECT_TRUE(list.empty());
    AppendItemsToList(list, 0, {}, false);
    EXPECT_TRUE(list.empty());
    AppendItemsToList(list, 3, {L"a", L"A", L"b"}, true);
    EXPECT_EQ(list, (TextList{L"a", L"b"}));
    OptionalTextList none;
    AppendItemsToList(none, 2, {L"x", L"y"}, false);
    EXPECT_EQ(*none, (TextList{L"x", L"y"}));
}

TEST(Lists, CompactDropsEntriesInsideExistingFolders) {
    const std::wstring root = testsupport::FreshFolder(L"compact");
    const std::wstring docs = root + L"Docs";
    ::CreateDirectoryW(docs.c_str(), nullptr);
    TextList list{ToUpperText(docs), docs + L"\\a.doc", root + L"x.doc"};
    EXPECT_TRUE(CompactPathList(list));
    EXPECT_EQ(list, (TextList{ToLowerText(docs), ToLowerText(root + L"x.doc")}));
}

TEST(Lists, CompactOfMissingAndOfDuplicateFiles) {
    const std::wstring root = testsupport::FreshFolder(L"compact");
    TextList missing{root + L"nothere", root + L"NotHere"};
    EXPECT_TRUE(CompactPathList(missing));
    EXPECT_EQ(missing, (TextList{ToLowerText(root + L"nothere")}));

    const std::wstring file = root + L"f.doc";
    testsupport::WriteBytes(file, "x");
    TextList twice{file, file};
    EXPECT_TRUE(CompactPathList(twice));
    EXPECT_EQ(twice.size(), 2u);

    OptionalTextList none;
    EXPECT_FALSE(CompactPathList(none));
    EXPECT_FALSE(none.has_value());
}
