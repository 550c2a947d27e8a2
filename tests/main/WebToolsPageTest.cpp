// The web tools page: its address from config.dat, the probe, the tip or the browser it shows, the
// browser's place, and a clean end of the browser control. A small HTTP listener on a loopback
// port stands in for the maker's web server.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "MainTestSupport.h"
#include "UniqueHandle.h"
#include "WebBrowserHost.h"
#include "usrWebToolsPage.h"
#include "usrWebToolsPageAddress.h"
#include "usrWebToolsPageLayout.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"

using namespace tessaly;

namespace {

// Answers every request on 127.0.0.1 with a small page and records the request paths.
class LoopbackHttpServer {
public:
    LoopbackHttpServer() : m_listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        const SOCKET listener = m_listener.get();
        if (!m_listener || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener, 8) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ::ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttpServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool ok() const { return m_port != 0; }
    std::wstring Root() const { return L"http://127.0.0.1:" + std::to_wstring(m_port); }
    std::vector<std::string> Paths() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_paths;
    }

private:
    void Serve() {
        while (!m_stop) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(m_listener.get(), &ready);
            timeval wait{0, 50000};
            if (::select(0, &ready, nullptr, nullptr, &wait) != 1) continue;
            const unique_socket client(::accept(m_listener.get(), nullptr, nullptr));
            if (client) Answer(client.get());
        }
    }
    void Answer(SOCKET client) {
        char buffer[4096];
        const int got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        const std::string request(buffer, static_cast<size_t>(got));
        const size_t start = request.find(' ') + 1;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_paths.push_back(request.substr(start, request.find(' ', start) - start));
        }
        const std::string body = "<html><body>tools</body></html>";
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
    }

    WinsockSession m_winsock;
    unique_socket m_listener;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::string> m_paths;
    std::thread m_thread;
};

// Closes any dialog box of this process that comes up and counts them, so a prompt of the browser
// control fails the test instead of hanging it.
class DialogWatcher {
public:
    DialogWatcher() : m_thread([this] { Watch(); }) {}
    ~DialogWatcher() {
        m_stop = true;
        m_thread.join();
    }
    int Count() const { return m_count; }

private:
    static BOOL CALLBACK CloseDialog(HWND window, LPARAM param) {
        auto* self = reinterpret_cast<DialogWatcher*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        wchar_t name[16]{};
        ::GetClassNameW(window, name, 16);
        if (owner == ::GetCurrentProcessId() && ::IsWindowVisible(window) && std::wstring(name) == L"#32770") {
            ++self->m_count;
            ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return TRUE;
    }
    void Watch() {
        while (!m_stop) {
            ::EnumWindows(&CloseDialog, reinterpret_cast<LPARAM>(this));
            ::Sleep(50);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_count{0};
    std::thread m_thread;
};

// Lets messages run until done() holds or about five seconds have passed; true when done() held.
bool PumpUntil(const std::function<bool()>& done) { return PollUntil(done, {5000, 10}) == PollResult::Done; }

RECT ChildRect(HWND parent, HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The window's own visible flag: the host window of the tests is never shown.
bool IsShownItem(HWND window) { return window && (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class WebToolsPageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_ole.ok()); }

    void StoreHost(const std::wstring& host) {
        WriteIniString(GetConfigFilePath(), ini::kGeneral, ini::kWebServerHost, host);
    }
    // The settings point the page at the test's own listener.
    void ServeHere() {
        ASSERT_TRUE(m_server.ok());
        StoreHost(m_server.Root());
    }
    // A probe that says yes and remembers what it was asked.
    home_page::NetworkProbe Up() {
        return [this](const std::wstring& address) { m_asked.push_back(address); return true; };
    }
    home_page::NetworkProbe Down() {
        return [this](const std::wstring& address) { m_asked.push_back(address); return false; };
    }
    static usrWebToolsPage::EngineCheck EngineThere() { return [] { return true; }; }

    OleApartment m_ole;  // first in, last out: the browser control needs OLE on this thread
    maintest::PrivateDataFolders m_folders;
    LoopbackHttpServer m_server;
    DialogWatcher m_dialogs;
    maintest::HostWindow m_host;
    std::vector<std::wstring> m_asked;
};

bool ShowsExactlyOne(const usrWebToolsPage& page) {
    const bool tip = IsShownItem(page.Item(usrWebToolsPage::kIdLblFailedTip));
    const bool browser = IsShownItem(page.BrowserWindow());
    return page.IsFailedTipShown() == tip && page.IsBrowserShown() == browser && tip != browser;
}

}  // namespace

TEST(WebToolsAddress, HostAsStoredWithToolsPath) {
    maintest::PrivateDataFolders folders;
    const std::wstring config = GetConfigFilePath();
    EXPECT_EQ(web_tools::StoredWebServerHost(config), kDefaultWebServerRoot);
    EXPECT_EQ(web_tools::ClientToolsAddress(web_tools::StoredWebServerHost(config)),
              std::wstring(kDefaultWebServerRoot) + L"/tessaly/clienttools");
    WriteIniString(config, ini::kGeneral, ini::kWebServerHost, L"http://example.test/");
    EXPECT_EQ(web_tools::ClientToolsAddress(web_tools::StoredWebServerHost(config)),
              L"http://example.test//tessaly/clienttools");
    WriteIniString(config, ini::kGeneral, ini::kWebServerHost, L"");
    EXPECT_EQ(web_tools::StoredWebServerHost(config), kDefaultWebServerRoot);
}

TEST(WebToolsAddress, ProbeHostIsTheBareMachineName) {
    EXPECT_EQ(web_tools::ProbeHostOf(L"https://www.tessaly.cn"), L"www.tessaly.cn");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://127.0.0.1:8765/"), L"127.0.0.1");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://user:pw@host.test:81/a"), L"host.test");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://host.test?x=1"), L"host.test");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://[::1]:8080/x"), L"::1");
    EXPECT_EQ(web_tools::ProbeHostOf(L"plain.test"), L"plain.test");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://"), L"");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http:///path"), L"");
    EXPECT_EQ(web_tools::ProbeHostOf(L"http://[::1"), L"");
}

TEST(WebToolsLayout, BrowserSitsTwoInAndFiveSmaller) {
    const RECT placed = web_tools::BrowserPlacement(RECT{0, 0, 100, 80});
    EXPECT_TRUE(SameRect(placed, RECT{2, 2, 97, 77}));  // at 2, 2, size 95 by 75
    EXPECT_TRUE(SameRect(web_tools::BrowserPlacement(RECT{10, 20, 110, 100}), RECT{12, 22, 107, 97}));
    // A page smaller than the margins gives an empty browser, never a negative one.
    EXPECT_TRUE(SameRect(web_tools::BrowserPlacement(RECT{0, 0, 3, 4}), RECT{2, 2, 2, 2}));
}

TEST_F(WebToolsPageTest, NoNetworkShowsTipAndNeverNavigates) {
    ServeHere();
    usrWebToolsPage page(Down(), EngineThere());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_TRUE(page.IsFailedTipShown());
    EXPECT_FALSE(page.IsBrowserShown());
    EXPECT_EQ(page.BrowserWindow(), nullptr);
    HWND tip = page.Item(usrWebToolsPage::kIdLblFailedTip);
    EXPECT_TRUE(IsShownItem(tip));
    EXPECT_EQ(maintest::WindowText(tip), web_tools::kFailedTipText);
    EXPECT_EQ(m_asked, std::vector<std::wstring>{L"127.0.0.1"});
    EXPECT_EQ(page.PageAddress(), m_server.Root() + L"/tessaly/clienttools");
    // The page is not asked again, and nothing reaches the server, while messages run.
    PauseWithEvents(300);
    EXPECT_EQ(m_asked.size(), 1u);
    EXPECT_TRUE(m_server.Paths().empty());
    EXPECT_EQ(m_dialogs.Count(), 0);
}

TEST_F(WebToolsPageTest, FaultInTheProbeIsLoggedAndReadsAsNoNetwork) {
    ServeHere();
    usrWebToolsPage page([](const std::wstring&) -> bool { throw std::runtime_error("probe fault 42"); },
                         EngineThere());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_TRUE(page.IsFailedTipShown());
    EXPECT_FALSE(page.IsBrowserShown());
    std::wstring log;
    clsUTF8TextFile().ReadFromUTF8File(GetCommonDataFolder() + ProgramErrLogName() + L".err", log);
    EXPECT_NE(log.find(L"fault in usrWebToolsPage::ProbeNetwork (usrWebToolsPage.cpp:"), std::wstring::npos);
    EXPECT_NE(log.find(L"probe fault 42"), std::wstring::npos);
}

TEST_F(WebToolsPageTest, MissingKeyProbesAndAddressesTheMakersServer) {
    usrWebToolsPage page(Down());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_EQ(page.PageAddress(), std::wstring(kDefaultWebServerRoot) + L"/tessaly/clienttools");
    EXPECT_EQ(m_asked, std::vector<std::wstring>{web_tools::ProbeHostOf(kDefaultWebServerRoot)});
}

TEST_F(WebToolsPageTest, TrailingSlashGivesDoubleSlashAddress) {
    StoreHost(L"http://127.0.0.1:1/");
    usrWebToolsPage page(Down());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_EQ(page.PageAddress(), L"http://127.0.0.1:1//tessaly/clienttools");
    EXPECT_EQ(m_asked, std::vector<std::wstring>{L"127.0.0.1"});
}

TEST_F(WebToolsPageTest, NetworkUpNavigatesBrowserPlacedInsidePage) {
    ServeHere();
    usrWebToolsPage page(Up(), EngineThere());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    ASSERT_TRUE(page.IsBrowserShown());
    EXPECT_FALSE(page.IsFailedTipShown());
    EXPECT_FALSE(IsShownItem(page.Item(usrWebToolsPage::kIdLblFailedTip)));
    EXPECT_TRUE(IsShownItem(page.BrowserWindow()));
    HWND browser = page.BrowserWindow();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(::IsChild(page.hwnd(), browser));

    ASSERT_TRUE(PumpUntil([&] { return !m_server.Paths().empty(); }));
    EXPECT_EQ(m_server.Paths().front(), "/tessaly/clienttools");

    RECT client{};
    ::GetClientRect(page.hwnd(), &client);
    EXPECT_TRUE(SameRect(ChildRect(page.hwnd(), browser), web_tools::BrowserPlacement(client)));
    ::SetWindowPos(page.hwnd(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    maintest::PumpMessages();
    EXPECT_TRUE(SameRect(ChildRect(page.hwnd(), browser), RECT{2, 2, 297, 197}));
    EXPECT_EQ(m_dialogs.Count(), 0);

    page.Unload();
    EXPECT_EQ(page.hwnd(), nullptr);
    EXPECT_FALSE(::IsWindow(browser));
    EXPECT_FALSE(page.IsBrowserShown());
}

TEST_F(WebToolsPageTest, NetworkUpWithoutEngineShowsTip) {
    ServeHere();
    usrWebToolsPage page(Up(), [] { return false; });
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_TRUE(ShowsExactlyOne(page));
    EXPECT_TRUE(page.IsFailedTipShown());
    EXPECT_EQ(WebBrowserSite::Alive(), 0);
    PauseWithEvents(300);
    EXPECT_TRUE(m_server.Paths().empty());
}

// With the platform's own engine check: under Wine the engine is switched off, so the tip shows;
// on Windows the browser does. Either way no prompt appears and the call returns.
TEST_F(WebToolsPageTest, PlatformEngineGivesBrowserOrTipWithoutPrompt) {
    ServeHere();
    usrWebToolsPage page(Up());
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_TRUE(ShowsExactlyOne(page));
    EXPECT_EQ(page.IsBrowserShown(), WebBrowserHost::IsEngineAvailable());
    if (page.IsBrowserShown()) PumpUntil([&] { return !m_server.Paths().empty(); });
    maintest::PumpMessages();
    EXPECT_EQ(m_dialogs.Count(), 0);
}

// The WMI ping, or the echo behind it, of the loopback address returns, and the page shows one
// of its two faces.
TEST_F(WebToolsPageTest, RealProbeOfLoopbackReturns) {
    ServeHere();
    usrWebToolsPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_TRUE(ShowsExactlyOne(page));
    maintest::PumpMessages();
    EXPECT_EQ(m_dialogs.Count(), 0);
}

TEST_F(WebToolsPageTest, CreatedAndDestroyedAgainAndAgain) {
    ServeHere();
    for (int round = 0; round < 3; ++round) {
        usrWebToolsPage page(Up(), EngineThere());
        ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
        ASSERT_TRUE(page.IsBrowserShown());
        HWND browser = page.BrowserWindow();
        maintest::PumpMessages();
        page.Unload();
        EXPECT_FALSE(::IsWindow(browser));
        // A second Create of the same object after Destroy starts afresh.
        ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
        EXPECT_TRUE(page.IsBrowserShown());
    }  // the destructor ends the second page of each round
    EXPECT_EQ(::GetWindow(m_host.hwnd(), GW_CHILD), nullptr);
    EXPECT_EQ(WebBrowserSite::Alive(), 0);  // every control let go of its site
    EXPECT_EQ(m_dialogs.Count(), 0);
}

TEST_F(WebToolsPageTest, ParentGoingFirstTakesBrowserAlong) {
    ServeHere();
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    usrWebToolsPage page(Up(), EngineThere());
    ASSERT_TRUE(page.Create(parent, 0, 0));
    HWND browser = page.BrowserWindow();
    ASSERT_NE(browser, nullptr);
    ::DestroyWindow(parent);
    EXPECT_EQ(page.hwnd(), nullptr);
    EXPECT_FALSE(page.IsBrowserShown());
    EXPECT_FALSE(::IsWindow(browser));
    EXPECT_EQ(WebBrowserSite::Alive(), 0);
    page.Unload();  // nothing left to do, and no fault
}

TEST_F(WebToolsPageTest, BrowserHostRefusesWithoutWindowAndClosesTwice) {
    WebBrowserHost host;
    EXPECT_FALSE(host.Open(nullptr, RECT{0, 0, 10, 10}));
    EXPECT_FALSE(host.IsOpen());
    EXPECT_FALSE(host.Navigate(L"http://127.0.0.1:1/"));
    ASSERT_TRUE(host.Open(m_host.hwnd(), RECT{2, 2, 50, 50}));
    EXPECT_NE(host.Window(), nullptr);
    MSG click{};
    click.hwnd = host.Window();
    click.message = WM_LBUTTONDOWN;
    EXPECT_FALSE(host.TranslateAccelerator(click));  // not a key: never the browser's
    EXPECT_EQ(WebBrowserSite::Alive(), 1);
    host.Close();
    host.Close();
    EXPECT_EQ(WebBrowserSite::Alive(), 0);
    EXPECT_FALSE(host.IsOpen());
    EXPECT_EQ(host.Window(), nullptr);
}
