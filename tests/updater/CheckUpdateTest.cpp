// The once-a-day gate against a real config.dat in a private per-user data folder.
#include <gtest/gtest.h>

#include "IniOperation.h"
#include "PrivateDataFolders.h"
#include "modCheckUpdate.h"
#include "modCommon.h"

using namespace tessaly;

TEST(CheckUpdateGate, DueUnlessTodayIsRecorded) {
    testsupport::PrivateDataFolders folders(L"tessaly_gate_");
    EXPECT_TRUE(IsCheckDue());  // no settings file yet

    const std::wstring config = GetConfigFilePath();
    WriteIniString(config, ini::kGeneral, ini::kLastCheckUpdate, GetDateText());
    EXPECT_FALSE(IsCheckDue());

    for (const wchar_t* other : {L"0", L"01-01-2020", L"garbage \x6c49", L" "}) {
        WriteIniString(config, ini::kGeneral, ini::kLastCheckUpdate, other);
        EXPECT_TRUE(IsCheckDue()) << other;
    }
}
