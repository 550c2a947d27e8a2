// The store's lock: a change waits for another holder, gives up with its failure result when
// the holder keeps it, and two processes adding records at once lose none of them.
#include "QuarantineTestSupport.h"

#include "ClsQuarantine.h"
#include "ClsQuarantineLock.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

#include <set>
#include <thread>

namespace tessaly::test {
namespace {

class QuarantineLockTest : public QuarantineFolderTest {
protected:
    unique_file HoldLock() const {
        return unique_file(::CreateFileW((DataFolder() + quarantine::kLockFileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                                         0, nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    }
    std::vector<QuarantineRecord> DiskRecords() const {
        std::vector<QuarantineRecord> records;
        quarantine::ReadIndexFile(IndexPath(), records);
        return records;
    }
};

TEST_F(QuarantineLockTest, HeldLockMakesChangesFailWithoutTouchingTheStore) {
    const std::wstring doc = MakeDoc(L"a.doc", MakeContent(100, 31));
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    quarantine::SetLockTimeout(200);
    unique_file held = HoldLock();
    ASSERT_TRUE(held.valid());

    EXPECT_FALSE(store.QuarantineFile(MakeDoc(L"b.doc", MakeContent(100, 32))));
    EXPECT_EQ(store.LastErrMsg(), L"隔离区正被占用");
    store.DeleteQuarantineFiles({doc});
    WriteBytes(doc, "cleaned");
    std::wstring failed;
    EXPECT_FALSE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(failed, doc);
    EXPECT_EQ(ReadBytes(doc), "cleaned");
    EXPECT_EQ(DiskRecords().size(), 1u);
    EXPECT_EQ(StoredCopyCount(), 1);
}

TEST_F(QuarantineLockTest, ChangeWaitsForTheHolderAndThenSucceeds) {
    ClsQuarantine store;
    unique_file held = HoldLock();
    ASSERT_TRUE(held.valid());
    std::thread release([&held] {
        ::Sleep(300);
        held.reset();
    });
    EXPECT_TRUE(store.QuarantineFile(MakeDoc(L"c.doc", MakeContent(100, 33))));
    release.join();
    EXPECT_EQ(DiskRecords().size(), 1u);
    EXPECT_FALSE(Exists(DataFolder() + quarantine::kLockFileName)) << "the lock file goes with its holder";
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    // Wine names a program started by its host path "unix\..."; the loader needs the NT form.
    if (folder.rfind(L"unix\\", 0) == 0) folder.insert(0, L"\\\\?\\");
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

unique_kernel_handle StartHelper(const std::wstring& args) {
    std::wstring command = L"\"" + ExeFolder() + L"quarantine_store_helper.exe\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << WideToUtf8(command) << ": error " << ::GetLastError();
        return unique_kernel_handle();
    }
    return std::move(TakeProcessHandles(pi).process);
}

TEST_F(QuarantineLockTest, TwoProcessesAddingAtTheSameTimeLoseNoRecord) {
    constexpr int kPerProcess = 25;
    const std::wstring gateName = L"tessaly_quarantine_gate_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                  std::to_wstring(::GetTickCount64());
    unique_kernel_handle gate(::CreateEventW(nullptr, TRUE, FALSE, gateName.c_str()));
    ASSERT_TRUE(gate.valid());
    const std::wstring common = L"\"" + m_root + L"\" \"" + DocsFolder() + L"\" " + std::to_wstring(kPerProcess) + L" " +
                                gateName;
    unique_kernel_handle first = StartHelper(common + L" left");
    unique_kernel_handle second = StartHelper(common + L" right");
    ASSERT_TRUE(first.valid() && second.valid());
    ::Sleep(300);  // both are waiting at the gate
    ::SetEvent(gate.get());
    HANDLE both[] = {first.get(), second.get()};
    ASSERT_EQ(::WaitForMultipleObjects(2, both, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE process : both) {
        DWORD code = 99;
        ::GetExitCodeProcess(process, &code);
        EXPECT_EQ(code, 0u);
    }

    const auto records = DiskRecords();
    std::set<std::wstring> paths;
    for (const auto& r : records) {
        paths.insert(r.SourcePath);
        EXPECT_TRUE(Exists(StoredCopy(r.StoredHash))) << WideToUtf8(r.SourcePath);
    }
    EXPECT_EQ(records.size(), 2u * kPerProcess);
    EXPECT_EQ(paths.size(), 2u * kPerProcess);
    EXPECT_EQ(StoredCopyCount(), 2 * kPerProcess);
}

}  // namespace
}  // namespace tessaly::test
