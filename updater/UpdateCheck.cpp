// The update check up to the offer: installed version, settings, network probe, the requests and
// the checks of the answer.
#include "UpdateCheck.h"

#include <stdexcept>

#include "CheckRecords.h"
#include "ClsWMI.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "PlatformQueries.h"
#include "TransportAddress.h"
#include "UpdateRequest.h"
#include "UpdateTexts.h"
#include "mdGetMachineInfo.h"
#include "modCommon.h"
#include "modHttpSend.h"
#include "modPackageCache.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kNoVersion[] = L"0.0.0";
constexpr int kMostRequests = 2;
constexpr std::int32_t kCodeAccepted = 1;
constexpr std::int32_t kActionNoUpdate = 31;
constexpr std::int32_t kActionSendFacts = 32;
constexpr std::int32_t kActionOffer = 33;

}  // namespace

std::wstring DefaultUpdateUrl() { return std::wstring(kDefaultWebServerRoot) + kDefaultUpdatePath; }

UpdateCheck::UpdateCheck(UpdateUi& ui, ClsWMI& wmi, std::wstring programFolder, std::wstring configPath,
                         ElevationQuery elevation)
    : m_ui(ui),
      m_wmi(wmi),
      m_programFolder(std::move(programFolder)),
      m_configPath(std::move(configPath)),
      m_elevation(elevation ? std::move(elevation) : ElevationQuery(IsProcessElevated)) {}

CheckEnd UpdateCheck::End(const std::wstring& status) {
    m_ui.Show(status);
    return CheckEnd::Common;
}

std::nullopt_t UpdateCheck::Stop(const std::wstring& status) {
    m_ui.Show(status);
    return std::nullopt;
}

CheckEnd UpdateCheck::Run() {
    try {
        const bool elevated = m_elevation();
        const std::wstring version = GetInstalledAppVersion(m_programFolder);
        if (ReadIniString(m_configPath, ini::kGeneral, ini::kInstalledDate, L"").empty()) {
            WriteIniString(m_configPath, ini::kGeneral, ini::kInstalledDate, GetDateText());
            m_fullFacts = true;
            SaveOfficeInfo(m_configPath);
        }
        if (version != kNoVersion) {
            WriteIniString(m_configPath, ini::kVersions, ini::kLocalAppVer, version);
            WriteIniString(m_configPath, ini::kVersions, ini::kServerAppVer, version);
        }
        // The probe asks the maker's web server, whose root config.dat may name.
        if (!m_wmi.IsConnectedNetWork(GetWebServerHost(m_configPath))) return End(kStatusNoNetwork);
        const std::optional<UpdateAnswer> offer = RequestOffer(version, elevated);
        if (!offer) return CheckEnd::Common;
        return TakeOffer(*offer, elevated);
    } catch (...) {
        // A value that cannot be converted ends the check without a status text of its own.
        LogCaughtFault(L"UpdateCheck");
        return CheckEnd::Common;
    }
}

std::optional<UpdateAnswer> UpdateCheck::RequestOffer(const std::wstring& version, bool elevated) {
    for (int request = 1; request <= kMostRequests; ++request) {
        const std::wstring query =
            BuildUpdateQuery(version, elevated, BuildMachineInfoQuery(m_fullFacts, m_configPath, m_wmi));
        const std::wstring body = PackRequestData(query);
        if (body.empty()) return Stop(kStatusNoRequest);
        const std::wstring url = ReadIniString(m_configPath, ini::kGeneral, ini::kUpdateURL, DefaultUpdateUrl());
        m_requestUrl = url;
        m_ui.Show(kStatusConnecting + url);
        const std::wstring answerText = PostForm(url, body);
        SaveLastCheckDate(m_configPath);
        if (answerText.empty()) return Stop(kStatusConnectFailed + url);
        if (!HasAnswerMembers(answerText)) return Stop(kStatusServerError + answerText);
        const UpdateAnswer answer = ReadUpdateAnswer(answerText);
        if (answer.code != kCodeAccepted) return Stop(kStatusServer00 + answerText);
        m_ui.Show(kStatusReadingAnswer);
        if (answer.updateUrl && !answer.updateUrl->empty()) KeepUpdateUrl(url, DecodeHexField(*answer.updateUrl));
        if (!answer.action || answer.action->empty()) return Stop(kStatusServer01 + answerText);
        const std::optional<std::int32_t> action = ParseInt32(*answer.action);
        if (!action) throw std::invalid_argument("the action is not a number");
        switch (*action) {
        case kActionNoUpdate:
            return Stop(kStatusUpToDate);
        case kActionSendFacts:
            m_fullFacts = true;
            if (request == kMostRequests) return Stop(kStatusServerBusy);
            continue;
        case kActionOffer:
            return answer;
        default:
            return Stop(kStatusServer02 + answerText);
        }
    }
    return std::nullopt;
}

void UpdateCheck::KeepUpdateUrl(const std::wstring& current, const std::wstring& next) {
    // An empty one reads back as the default, which is https.
    if (!next.empty() && !KeepsChannel(current, next)) {
        LogFault(L"UpdateCheck", L"new update URL refused: " + next);
        return;
    }
    WriteIniString(m_configPath, ini::kGeneral, ini::kUpdateURL, next);
}

}  // namespace tessaly::updater
