// Which application GetOfficeInfo finds from the document associations, what it guesses from the
// folder layout, and how the automation fallback behaves with and without an answering object.
#include "OfficeTestSupport.h"
#include "UniqueHandle.h"
#include "modGetOfficeInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace tessaly::test {
namespace {

TEST(GuessAppFromPath, ReadsTheVersionFromTheFolderLayout) {
    EXPECT_EQ(GuessAppFromPath(L"c:\\program files\\microsoft office\\office16\\winword.exe"),
              std::make_pair(std::wstring(L"winword"), std::wstring(L"16")));
    // A folder without "office" in its name is taken whole.
    EXPECT_EQ(GuessAppFromPath(L"c:\\apps\\root\\winword.exe"),
              std::make_pair(std::wstring(L"winword"), std::wstring(L"root")));
    // Too short a path to hold a version folder stays as it was.
    EXPECT_EQ(GuessAppFromPath(L"c:\\winword.exe"),
              std::make_pair(std::wstring(L"c:\\winword.exe"), std::wstring(L"0.0.0")));
    EXPECT_EQ(GuessAppFromPath(L""), std::make_pair(std::wstring(), std::wstring(L"0.0.0")));
}

TEST(GuessAppFromPath, TakesTheFirstDottedFolderOfWps) {
    EXPECT_EQ(GuessAppFromPath(L"c:\\kingsoft\\wps office\\11.1.0.9912\\office6\\wps.exe"),
              std::make_pair(std::wstring(L"wps"), std::wstring(L"11")));
    // The file name's own "." is no version.
    EXPECT_EQ(GuessAppFromPath(L"c:\\kingsoft\\wps.exe"),
              std::make_pair(std::wstring(L"c:\\kingsoft\\wps.exe"), std::wstring(L"0.0.0")));
    EXPECT_EQ(GuessAppFromPath(L"c:\\apps\\notepad.exe").second, L"0.0.0");
}

class OfficeInfoTest : public ::testing::Test {
protected:
    NoAssociations m_noAssociations;
    TempFolder m_folder;
    std::wstring m_progId = UniqueName(L"TessalyTest.Document");
};

TEST_F(OfficeInfoTest, VersionedWordDecidesWithoutAutomation) {
    const std::wstring exe = m_folder.CopyOfThisProgram(L"Microsoft Office\\Root\\Office16\\WINWORD.EXE");
    Association docx(L".docx", m_progId, L"  \"" + exe + L"\" /n \"%1\"");
    OfficeAppInfo info;
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.AppName, L"winword");
    EXPECT_EQ(info.MajorVersion, L"2021");
    EXPECT_EQ(info.ExePath, Lower(exe));
    EXPECT_EQ(info.InstallFolder, Lower(m_folder.path() + L"\\Microsoft Office\\Root\\Office16\\"));
}

TEST_F(OfficeInfoTest, DocfileProgIdIsPassedOverAndXlsxDecides) {
    const std::wstring word = m_folder.CopyOfThisProgram(L"word\\winword.exe");
    const std::wstring excel = m_folder.CopyOfThisProgram(L"excel\\EXCEL.exe");
    RegistryKeyGuard docfile(HKEY_CLASSES_ROOT, L"DocFile");
    SetRegText(HKEY_CLASSES_ROOT, L"DocFile\\shell\\Open\\command", L"", L"\"" + word + L"\" \"%1\"");
    SetRegText(HKEY_CLASSES_ROOT, L".docx", L"", L"DocFile");
    Association xlsx(L".xlsx", m_progId, L"\"" + excel + L"\" \"%1\"");
    OfficeAppInfo info;
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.AppName, L"excel");
    EXPECT_EQ(info.ExePath, Lower(excel));
}

TEST_F(OfficeInfoTest, AssociationWithoutOpenCommandLetsTheNextExtensionSpeak) {
    const std::wstring exe = m_folder.CopyOfThisProgram(L"office14\\winword.exe");
    Association docx(L".docx", UniqueName(L"TessalyTest.NoCommand"), L"");
    Association doc(L".doc", m_progId, L"\"" + exe + L"\"");
    OfficeAppInfo info;
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.ExePath, Lower(exe));
}

TEST_F(OfficeInfoTest, CommandWithoutSeparatorIsTheWholeExePathWithVersionZero) {
    Association docx(L".docx", m_progId, L"C:\\Tools\\Writer.EXE");
    OfficeAppInfo info;
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.ExePath, L"c:\\tools\\writer.exe");
    EXPECT_EQ(info.MajorVersion, L"0");
    EXPECT_EQ(info.AppName, L"c:\\tools\\writer");
    EXPECT_EQ(info.InstallFolder, L"c:\\tools\\");
}

TEST_F(OfficeInfoTest, NoAssociationGivesTrueWithEmptyFieldsAndNoOfficeLists) {
    OfficeAppInfo info{L"x", L"y", L"z", L"w"};
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.AppName, L"");
    EXPECT_EQ(info.MajorVersion, L"");
    EXPECT_EQ(info.InstallFolder, L"");
    EXPECT_EQ(info.ExePath, L"");
    std::vector<std::wstring> kept{L"kept"};
    EXPECT_EQ(GetOfficeMruFiles(kept), 0);
    EXPECT_EQ(GetOfficeStartupFolders(kept), 0);
    EXPECT_EQ(kept, std::vector<std::wstring>{L"kept"});
}

TEST_F(OfficeInfoTest, ExeWithoutVersionInOffice15FolderGivesFifteen) {
    const std::wstring exe = m_folder.MakeFile(L"Office15\\WINWORD.EXE", "not a program");
    Association docx(L".docx", m_progId, L"\"" + exe + L"\" /n");
    OfficeAppInfo info;
    EXPECT_TRUE(GetOfficeInfo(info));
    EXPECT_EQ(info.AppName, L"winword");
    EXPECT_EQ(info.MajorVersion, L"15");
}

TEST_F(OfficeInfoTest, UnknownProgramFallsBackToAutomationWhichFailsQuicklyHere) {
    const std::wstring exe = m_folder.MakeFile(L"apps\\writer.exe", "not a program");
    Association docx(L".docx", m_progId, L"\"" + exe + L"\" \"%1\"");
    OfficeAppInfo info;
    EXPECT_FALSE(GetOfficeInfo(info));
    EXPECT_EQ(info.MajorVersion, L"0.0.0");
    EXPECT_EQ(info.ExePath, Lower(exe));
}

// ---- Automation -----------------------------------------------------------------------------

TEST(GetAppInfoByAutomation, FailsWhenTheClassIsNotRegistered) {
    OfficeAppInfo info{L"a", L"b", L"c", L"d"};
    EXPECT_FALSE(GetAppInfoByAutomation(L"Tessaly.NoSuchApplication", L"winword", info));
    EXPECT_FALSE(GetAppInfoByAutomation(L"Excel.Application", L"winword", info));
    EXPECT_FALSE(GetAppInfoByAutomation(L"ket.Application", L"wps", info));
    EXPECT_EQ(info.AppName, L"a");
}

TEST(GetAppInfoByAutomation, FailsWhenTheRegisteredServerIsMissing) {
    const std::wstring progId = UniqueName(L"Tessaly.BrokenApp");
    const std::wstring clsid = L"{6F1B2C4E-3D5A-4B7C-9E8F-0A1B2C3D4E5F}";
    RegistryKeyGuard progKey(HKEY_CLASSES_ROOT, progId);
    RegistryKeyGuard classKey(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid);
    SetRegText(HKEY_CLASSES_ROOT, progId + L"\\CLSID", L"", clsid);
    SetRegText(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\LocalServer32", L"", L"C:\\nowhere\\missing.exe");
    OfficeAppInfo info;
    EXPECT_FALSE(GetAppInfoByAutomation(progId, L"winword", info));
}

// An application object that answers "version" and "Path" as told and counts its "Quit" calls.
class FakeApplication : public IDispatch {
public:
    FakeApplication(const wchar_t* version, const wchar_t* path) : m_version(version), m_path(path) {}
    int quitCalls = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { *count = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        const std::wstring name = Lower(names[0]);
        if (name == L"version" && m_version) *ids = 1;
        else if (name == L"path" && m_path) *ids = 2;
        else if (name == L"quit") *ids = 3;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id == 3) {
            ++quitCalls;
            return S_OK;
        }
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = MakeBstr(id == 1 ? m_version : m_path).release();  // the caller frees it
        return S_OK;
    }

private:
    const wchar_t* m_version;
    const wchar_t* m_path;
};

TEST(ReadAppInfoFromAutomationObject, TakesVersionAndFolderAndQuits) {
    FakeApplication app(L"16.0", L"C:\\Program Files\\Microsoft Office\\root\\Office16");
    OfficeAppInfo info;
    EXPECT_TRUE(ReadAppInfoFromAutomationObject(&app, L"winword", info));
    EXPECT_EQ(info.MajorVersion, L"16");
    EXPECT_EQ(info.AppName, L"winword");
    EXPECT_EQ(info.InstallFolder, L"C:\\Program Files\\Microsoft Office\\root\\Office16");
    EXPECT_EQ(info.ExePath, L"C:\\Program Files\\Microsoft Office\\root\\Office16\\winword.exe");
    EXPECT_EQ(app.quitCalls, 1);
}

TEST(ReadAppInfoFromAutomationObject, QuitsAlsoWhenTheAnswersFail) {
    FakeApplication noDot(L"16", L"C:\\Office");
    FakeApplication noPath(L"16.0", nullptr);
    FakeApplication noVersion(nullptr, L"C:\\Office");
    OfficeAppInfo info{L"a", L"b", L"c", L"d"};
    EXPECT_FALSE(ReadAppInfoFromAutomationObject(&noDot, L"winword", info));
    EXPECT_FALSE(ReadAppInfoFromAutomationObject(&noPath, L"winword", info));
    EXPECT_FALSE(ReadAppInfoFromAutomationObject(&noVersion, L"winword", info));
    EXPECT_FALSE(ReadAppInfoFromAutomationObject(nullptr, L"winword", info));
    EXPECT_EQ(noDot.quitCalls, 1);
    EXPECT_EQ(noPath.quitCalls, 1);
    EXPECT_EQ(noVersion.quitCalls, 1);
    EXPECT_EQ(info.AppName, L"a");
}

}  // namespace
}  // namespace tessaly::test
