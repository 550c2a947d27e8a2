#include "DrosselRun.h"

#include "Polling.h"
#include "RemoteWindows.h"
#include "UserTexts.h"
#include "frmMain.h"
#include "usrMainPage.h"
#include "usrScanCleanPage.h"

namespace e2e {
namespace {

using tessaly::frmMain;
using tessaly::usrScanCleanPage;

constexpr wchar_t kScanFinishedText[] = L"扫描完毕";

}  // namespace

DrosselRun::DrosselRun(const StagedProgramFolder& folder, const std::wstring& arguments)
    : m_process(folder.Drossel(), arguments, folder.Folder()),
      m_boxes(std::make_unique<BoxWatcher>(m_process.Id())) {}

HWND DrosselRun::WaitForWindow(DWORD timeoutMs) {
    if (!m_window)
        WaitUntil(
            [this] {
                m_window = FindTopWindow(Id(), texts::kMainCaption);
                return m_window != nullptr || !m_process.Running();
            },
            timeoutMs);
    return m_window;
}

bool DrosselRun::WaitUntilReady(DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    if (!WaitForWindow(timeoutMs)) return false;
    const DWORD left = timeoutMs - static_cast<DWORD>(::GetTickCount64() - start);
    return WaitUntil(
        [this] {
            HWND tip = HomePageControl(tessaly::usrMainPage::kIdLblLoadingTip);
            return ::IsWindowVisible(m_window) && ::IsWindowEnabled(m_window) && tip && !HasVisibleStyle(tip);
        },
        left);
}

HWND DrosselRun::PageFrame(int index) const { return MainControl(frmMain::kIdFrameContent0 + index); }

HWND DrosselRun::TopButton(int index) const { return MainControl(frmMain::kIdPicTopBtn0 + index); }

std::wstring DrosselRun::TopButtonCaption(int index) const {
    return ControlText(::GetDlgItem(TopButton(index), frmMain::kIdLblTopBtn0 + index));
}

void DrosselRun::ClickTopButton(int index) const { PostClick(TopButton(index)); }

HWND DrosselRun::MainControl(int id) const { return m_window ? ::GetDlgItem(m_window, id) : nullptr; }

HWND DrosselRun::ScanPageControl(int id) const { return FindDescendant(PageFrame(1), id); }

HWND DrosselRun::HomePageControl(int id) const { return FindDescendant(PageFrame(0), id); }

std::wstring DrosselRun::Counter(int index) const {
    return ControlText(ScanPageControl(usrScanCleanPage::kIdLblResultCountShow0 + index));
}

bool DrosselRun::WaitForScanEnd(DWORD timeoutMs) const {
    return WaitUntil([this] { return ControlText(ScanPageControl(usrScanCleanPage::kIdLblScanPath)) == kScanFinishedText; },
                     timeoutMs, 100);
}

void DrosselRun::Close() const { PostClose(m_window); }

}  // namespace e2e
