// WMI questions against Wine's real WMI service, the ping host rule and the installation
// identity with a fake product-UUID source.
#include <gtest/gtest.h>
#include <windows.h>

#include "ClsWMI.h"
#include "IniOperation.h"
#include "TestSupport.h"
#include "TextConvert.h"
#include "modCommon.h"

using namespace tessaly;

TEST(WMI, InformationQuestionsAnswer) {
    ClsWMI wmi;
    ASSERT_TRUE(wmi.IsConnected());
    std::wstring name = L"x", version = L"x", cpu, arch, uuid;
    EXPECT_TRUE(wmi.getOsInfo(name, version));
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(version.empty());
    EXPECT_TRUE(wmi.getCpuInfo(cpu, arch));
    EXPECT_TRUE(arch == L"64" || arch == L"32") << arch;
    EXPECT_TRUE(wmi.getUUIDInfo(uuid));
    EXPECT_EQ(uuid, TrimSpaces(uuid));
}

TEST(WMI, ProcessQuestions) {
    ClsWMI wmi;
    EXPECT_TRUE(wmi.IsExistProcess(L"common_tests.exe"));
    EXPECT_FALSE(wmi.IsExistProcess(L"no_such_program_4711.exe"));
    EXPECT_FALSE(wmi.IsExistProcess(L"bad'quote.exe"));
    EXPECT_TRUE(wmi.TerminateProcess(L"no_such_program_4711.exe"));
}

TEST(WMI, PingHostRule) {
    EXPECT_EQ(ClsWMI::PingHostOf(L"https://www.tessaly.cn/tessaly/update1"), L"www.tessaly.cn");
    EXPECT_EQ(ClsWMI::PingHostOf(L"www.tessaly.cn"), L"www.tessaly.cn");
    // The port is no part of the host a ping asks for.
    EXPECT_EQ(ClsWMI::PingHostOf(L"http://127.0.0.1:8089/x"), L"127.0.0.1");
    EXPECT_EQ(ClsWMI::PingHostOf(L"www.tessaly.cn:443"), L"www.tessaly.cn");
    EXPECT_EQ(ClsWMI::PingHostOf(L"http://[::1]:8089/"), L"::1");
    EXPECT_EQ(ClsWMI::PingHostOf(L"http://"), L"");
    EXPECT_EQ(ClsWMI::PingHostOf(L"/abs/path"), L"/abs/path");
}

TEST(WMI, NetworkTest) {
    ClsWMI wmi;
    EXPECT_FALSE(wmi.IsConnectedNetWork(L"http://"));
    EXPECT_FALSE(wmi.IsConnectedNetWork(L""));
    EXPECT_FALSE(wmi.IsConnectedNetWork(L"http://no-such-host.invalid/"));
    EXPECT_TRUE(wmi.IsConnectedNetWork(L"http://127.0.0.1/index.html"));
}

namespace {

struct FakeSource {
    std::wstring uuid;
    bool answer = true;
    int asked = 0;
    bool getUUIDInfo(std::wstring& retUUID) {
        ++asked;
        retUUID = uuid;
        return answer;
    }
};

std::wstring Stored(const std::wstring& config) {
    return ReadIniString(config, ini::kGeneral, ini::kInstalledUUID, L"");
}

bool LooksLikeMadeIdentity(const std::wstring& id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        const wchar_t c = id[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != L'-') return false;
        } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(Identity, GuidTextAndReservedValues) {
    const std::wstring guid = NewGuidString();
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_EQ(guid.front(), L'{');
    EXPECT_EQ(guid.back(), L'}');
    EXPECT_TRUE(LooksLikeMadeIdentity(guid.substr(1, 36)));
    EXPECT_NE(NewGuidString(), guid);
    EXPECT_TRUE(IsInvalidUUID(L""));
    EXPECT_TRUE(IsInvalidUUID(L"00000000-0000-0000-0000-000000000000"));
    EXPECT_TRUE(IsInvalidUUID(L"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"));
    EXPECT_TRUE(IsInvalidUUID(L"FEFEFEFE-FEFE-FEFE-FEFE-FEFEFEFEFEFE"));
    EXPECT_FALSE(IsInvalidUUID(L"fefefefe-fefe-fefe-fefe-fefefefefefe"));
}

TEST(Identity, UnusableProductUuidGetsOneGuidThatIsReused) {
    const std::wstring config = testsupport::FreshFolder(L"id") + L"config.dat";
    FakeSource allF{L"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"};
    const std::wstring first = GetMachineUUID(allF, config);
    EXPECT_TRUE(LooksLikeMadeIdentity(first)) << first;
    EXPECT_EQ(Stored(config), first);
    FakeSource zeros{L"00000000-0000-0000-0000-000000000000", false};
    EXPECT_EQ(GetMachineUUID(zeros, config), first);
    EnsureInstalledUUID(zeros, config);
    EXPECT_EQ(zeros.asked, 1);  // a valid stored identity is not asked about again
}

TEST(Identity, ProductUuidIsStoredAsReportedAndReplacesOnlyThroughGetMachineUUID) {
    const std::wstring config = testsupport::FreshFolder(L"id") + L"config.dat";
    FakeSource lower{L"4c4c4544-0042-3510-8053-b4c04f4e3532"};
    EnsureInstalledUUID(lower, config);
    EXPECT_EQ(Stored(config), L"4c4c4544-0042-3510-8053-b4c04f4e3532");

    FakeSource other{L"11111111-2222-3333-4444-555555555555"};
    EnsureInstalledUUID(other, config);
    EXPECT_EQ(Stored(config), L"4c4c4544-0042-3510-8053-b4c04f4e3532");
    EXPECT_EQ(GetMachineUUID(other, config), L"11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(Stored(config), L"11111111-2222-3333-4444-555555555555");

    // A std::function source serves as well, and one that throws counts as no answer.
    const UUIDInfoQuery throwing = [](std::wstring&) -> bool { throw 1; };
    EXPECT_EQ(GetMachineUUID(throwing, config), L"11111111-2222-3333-4444-555555555555");
}

TEST(Identity, RealWmiSourceGivesUsableIdentity) {
    const std::wstring config = testsupport::FreshFolder(L"id") + L"config.dat";
    ClsWMI wmi;
    EnsureInstalledUUID(wmi, config);
    EXPECT_FALSE(IsInvalidUUID(Stored(config)));
}
