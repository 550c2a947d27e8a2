// Recently used documents: the File MRU lists of Word and Excel and the RecentFiles sequences of
// WPS Office, as laid out in the registry of the current user.
#include "OfficeTestSupport.h"
#include "modGetOfficeInfo.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using List = std::vector<std::wstring>;

// Word 2021 (the version of the copied test program) as the application of ".docx".
class WordInstalled {
public:
    WordInstalled() : m_docx(L".docx", UniqueName(L"TessalyTest.Word"), Command()) {}
    TempFolder& folder() { return m_folder; }

private:
    std::wstring Command() { return L"\"" + m_folder.CopyOfThisProgram(L"Office16\\WINWORD.EXE") + L"\" /n \"%1\""; }
    NoAssociations m_none;
    TempFolder m_folder;
    Association m_docx;
};

constexpr wchar_t kOffice2021[] = L"Software\\Microsoft\\Office\\2021.0";

TEST(GetOfficeMruFiles, ItemValuesGiveExistingDocumentsExcelFirstEachOnce) {
    WordInstalled word;
    RegistryKeyGuard office(HKEY_CURRENT_USER, kOffice2021);
    const std::wstring book = word.folder().MakeFile(L"Docs\\Budget.XLSX");
    const std::wstring letter = word.folder().MakeFile(L"Docs\\Letter.docx");
    const std::wstring plain = word.folder().MakeFile(L"Docs\\plain.doc");
    const std::wstring place = word.folder().MakeFile(L"Docs\\place.doc");
    const std::wstring excelMru = std::wstring(kOffice2021) + L"\\Excel\\File MRU";
    const std::wstring wordMru = std::wstring(kOffice2021) + L"\\Word\\File MRU";
    SetRegText(HKEY_CURRENT_USER, excelMru, L"Item 1", L"[F00000000][T01D7A1B2C3D4E5F6][O00000000]*" + book);
    SetRegText(HKEY_CURRENT_USER, excelMru, L"Item 2", L"[F00000000]*" + word.folder().path() + L"\\gone.xls");
    SetRegText(HKEY_CURRENT_USER, excelMru, L"Place 1", L"[F00000000]*" + place);
    SetRegText(HKEY_CURRENT_USER, wordMru, L"item 1", L"[F00000001][T01D7][O00000000]*" + letter);
    SetRegText(HKEY_CURRENT_USER, wordMru, L"ITEM 2", L"[F00000000][T01D7]*" + Lower(book));
    SetRegText(HKEY_CURRENT_USER, wordMru, L"Item 3", plain);  // no "*": the whole data is the path

    List files{L"old"};
    ASSERT_EQ(GetOfficeMruFiles(files), 3);
    EXPECT_EQ(files, (List{Lower(book), Lower(letter), Lower(plain)}));
}

TEST(GetOfficeMruFiles, NothingFoundLeavesTheListAlone) {
    WordInstalled word;
    RegistryKeyGuard office(HKEY_CURRENT_USER, kOffice2021);
    SetRegText(HKEY_CURRENT_USER, std::wstring(kOffice2021) + L"\\Word\\File MRU", L"Item 1",
               L"[F00000000]*c:\\nowhere\\missing.docx");
    List files{L"old"};
    EXPECT_EQ(GetOfficeMruFiles(files), 0);
    EXPECT_EQ(files, List{L"old"});
}

class WpsRecentFiles : public ::testing::Test {
protected:
    NoAssociations m_none;  // WPS needs no association; Office lists stay out of the way
    RegistryKeyGuard m_kingsoft{HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office"};
    TempFolder m_folder;

    static std::wstring Slashed(std::wstring path) {
        for (auto& c : path)
            if (c == L'\\') c = L'/';
        return path;
    }
    static void AddRecent(const std::wstring& version, const std::wstring& app, const std::wstring& name) {
        SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\" + version + L"\\" + app + L"\\RecentFiles\\Sequence",
                   name, L"1");
    }
};

TEST_F(WpsRecentFiles, ValueNamesWithSlashesBecomeLowerCasePathsEtFirst) {
    const std::wstring sheet = m_folder.MakeFile(L"Wps\\Sheet.ET");
    const std::wstring doc = m_folder.MakeFile(L"Wps\\年度报告.DOC");
    const std::wstring later = m_folder.MakeFile(L"Wps\\later.doc");
    SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\common", L"x", L"1");
    SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\0", L"x", L"1");  // no ".": not a version
    AddRecent(L"11.1.0", L"wps", Slashed(doc));
    AddRecent(L"11.1.0", L"wps", doc);                      // no "/" : ignored
    AddRecent(L"11.1.0", L"wps", Slashed(Lower(sheet)));    // already found under et
    AddRecent(L"11.1.0", L"et", Slashed(sheet));
    AddRecent(L"11.1.0", L"et", Slashed(m_folder.path() + L"\\Wps\\gone.et"));
    AddRecent(L"12.0", L"wps", Slashed(later));             // only the first version key counts

    List files;
    ASSERT_EQ(GetWpsRecentFiles(files), 2);
    EXPECT_EQ(files, (List{Lower(sheet), Lower(doc)}));
}

TEST_F(WpsRecentFiles, NoVersionKeyGivesZero) {
    SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\common", L"x", L"1");
    List files{L"old"};
    EXPECT_EQ(GetWpsRecentFiles(files), 0);
    EXPECT_EQ(files, List{L"old"});
}

}  // namespace
}  // namespace tessaly::test
