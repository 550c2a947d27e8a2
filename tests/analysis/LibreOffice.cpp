// One soffice run converts every document twice to CSV, one file per sheet: values, then formulas.
// A private profile folder keeps runs apart from each other and from any user profile.
#include "LibreOffice.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestFiles.h"

namespace tessaly::testfiles {
namespace {

// Comma, double quote, UTF-8, from line 1, standard cells, all sheets; the tenth token asks for
// formulas instead of results.
std::string Filter(bool formulas) {
    return std::string("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,") + (formulas ? "true" : "false") +
           ",false,-1";
}

std::map<std::string, std::string> ReadSheets(const std::filesystem::path& folder, const std::string& stem) {
    std::map<std::string, std::string> sheets;
    if (!std::filesystem::exists(folder)) return sheets;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(stem + "-", 0) != 0 || entry.path().extension() != ".csv") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        sheets[name.substr(stem.size() + 1, name.size() - stem.size() - 5)] = text.str();
    }
    return sheets;
}

}  // namespace

bool HaveLibreOffice() { return HaveCommand("soffice --version"); }

std::vector<SheetText> SheetsInLibreOffice(const std::vector<analysis::ByteVec>& documents, const std::string& extension) {
    TempFolder folder;
    std::string files;
    for (std::size_t i = 0; i < documents.size(); ++i)
        files += " '" + folder.Write("doc" + std::to_string(i) + extension, documents[i]).string() + "'";
    const std::string profile = "-env:UserInstallation=file://" + (folder.path() / "profile").string();
    for (bool formulas : {false, true}) {
        const auto out = folder.path() / (formulas ? "formulas" : "values");
        RunCommand("soffice --headless --norestore '" + profile + "' --convert-to '" + Filter(formulas) + "' --outdir '" +
                       out.string() + "'" + files + " >/dev/null 2>&1",
                   nullptr);
    }
    std::vector<SheetText> result;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const std::string stem = "doc" + std::to_string(i);
        result.push_back({ReadSheets(folder.path() / "values", stem), ReadSheets(folder.path() / "formulas", stem)});
    }
    return result;
}

}  // namespace tessaly::testfiles
