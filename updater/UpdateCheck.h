// One update check of the updater: report the installation to the update service (two requests
// at most), read the answer, download the offered package, verify its size and MD5 and hand it
// to one of three installation routes. Every failure ends the check with exactly one status text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "UpdateAnswer.h"
#include "UpdateUi.h"

namespace tessaly {
class ClsWMI;
}

namespace tessaly::updater {

enum class CheckEnd {
    Common,      // the run's common ending: exit button enabled, window closed unless shown
    EndProcess,  // an installation took over: the updater ends at once
};

// Default of "general"/UpdateURL.
std::wstring DefaultUpdateUrl();

class UpdateCheck {
public:
    // Whether the updater runs elevated; the platform's token query unless a caller asks another.
    using ElevationQuery = std::function<bool()>;

    UpdateCheck(UpdateUi& ui, ClsWMI& wmi, std::wstring programFolder, std::wstring configPath,
                ElevationQuery elevation = {});
    CheckEnd Run();

private:
    // The offer of an answer with action 33, or nullopt when the check has ended.
    std::optional<UpdateAnswer> RequestOffer(const std::wstring& version, bool elevated);
    CheckEnd TakeOffer(const UpdateAnswer& answer, bool elevated);
    CheckEnd Download(const UpdateAnswer& answer, const std::wstring& packageUrl, bool elevated);
    CheckEnd VerifyAndInstall(const UpdateAnswer& answer, const std::wstring& packagePath, bool elevated);
    CheckEnd AwaitInstallation();
    // Writes a new request URL of the answer unless it would lower the channel of `current`.
    void KeepUpdateUrl(const std::wstring& current, const std::wstring& next);
    // Shows the status that ends the check.
    CheckEnd End(const std::wstring& status);
    std::nullopt_t Stop(const std::wstring& status);

    UpdateUi& m_ui;
    ClsWMI& m_wmi;
    std::wstring m_programFolder;
    std::wstring m_configPath;
    ElevationQuery m_elevation;
    bool m_fullFacts = false;
    std::wstring m_requestUrl;  // of the request whose answer offers the package
};

}  // namespace tessaly::updater
