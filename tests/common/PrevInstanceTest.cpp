// The single-instance test compares image paths and start times of real processes, and the
// command-line split gives the arguments exactly as typed.
#include <gtest/gtest.h>
#include <windows.h>

#include "CommandArgs.h"
#include "PrevInstance.h"
#include "TestSupport.h"
#include "UniqueHandle.h"

using namespace tessaly;

namespace {

// A holder process of our own, killed when the test ends.
class Holder {
public:
    explicit Holder(const std::wstring& exe) : m_exe(exe) {
        std::wstring line = L"\"" + exe + L"\" previnstance" + std::to_wstring(::GetCurrentProcessId());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &si, &pi)) {
            m_process = std::move(TakeProcessHandles(pi).process);
            m_pid = pi.dwProcessId;
        }
    }
    ~Holder() {
        if (m_process) {
            ::TerminateProcess(m_process.get(), 0);
            ::WaitForSingleObject(m_process.get(), 5000);
        }
    }
    DWORD Pid() const { return m_pid; }
    bool Running() const { return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
    // Ends the process while this handle keeps its object (and so its id) alive.
    bool EndKeepingHandle() const {
        return ::TerminateProcess(m_process.get(), 0) && ::WaitForSingleObject(m_process.get(), 5000) == WAIT_OBJECT_0;
    }

private:
    std::wstring m_exe;
    unique_kernel_handle m_process;
    DWORD m_pid = 0;
};

constexpr ULONGLONG kFarFuture = ~0ULL;

}  // namespace

TEST(PrevInstance, AnOlderProcessOfTheSameFileCountsAndAYoungerOneDoesNot) {
    const std::wstring exe = testsupport::TestBinFolder() + L"common_marker_holder.exe";
    Holder holder(exe);
    ASSERT_TRUE(holder.Running());
    // Seen from a process started "later" than the holder, and from one started before it.
    EXPECT_TRUE(IsOlderInstanceRunning(exe, ::GetCurrentProcessId(), kFarFuture));
    EXPECT_FALSE(IsOlderInstanceRunning(exe, ::GetCurrentProcessId(), 0));
    // The path is compared ignoring case; the holder never counts against itself.
    std::wstring upper = exe;
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(IsOlderInstanceRunning(upper, ::GetCurrentProcessId(), kFarFuture));
    EXPECT_FALSE(IsOlderInstanceRunning(exe, holder.Pid(), kFarFuture));
    EXPECT_FALSE(IsOlderInstanceRunning(exe + L".other", ::GetCurrentProcessId(), kFarFuture));
    EXPECT_FALSE(IsOlderInstanceRunning(L"", ::GetCurrentProcessId(), kFarFuture));
}

TEST(PrevInstance, AnEndedProcessStillHeldOpenIsNoInstance) {
    const std::wstring exe = testsupport::TestBinFolder() + L"common_marker_holder.exe";
    Holder holder(exe);
    ASSERT_TRUE(holder.Running());
    EXPECT_TRUE(RunningInstanceStart(holder.Pid(), exe).has_value());
    ASSERT_TRUE(holder.EndKeepingHandle());
    // Wine leaves such a process out of its process list; Windows lists it.
    EXPECT_FALSE(RunningInstanceStart(holder.Pid(), exe).has_value());
    EXPECT_FALSE(IsOlderInstanceRunning(exe, ::GetCurrentProcessId(), kFarFuture));
}

TEST(PrevInstance, TheTestProgramItselfRunsOnce) {
    EXPECT_FALSE(OwnImagePath().empty());
    EXPECT_FALSE(IsPrevInstanceRunning());
}

TEST(CommandArgs, EverythingAfterTheProgramNameStaysAsTyped) {
    EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\T\\drossel.exe\" /sf C:\\a b\\c.doc"), L"/sf C:\\a b\\c.doc");
    EXPECT_EQ(ArgumentsOf(L"drossel.exe   /SF \"x y\"  "), L"/SF \"x y\"  ");
    EXPECT_EQ(ArgumentsOf(L"drossel.exe"), L"");
    EXPECT_EQ(ArgumentsOf(L"\"C:\\T\\drossel.exe\""), L"");
    EXPECT_EQ(ArgumentsOf(L"\"unclosed quote /sf x"), L"");
    EXPECT_EQ(ArgumentsOf(L""), L"");
}
