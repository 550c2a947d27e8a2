// Only the entries that tell what a macro sheet does (running programs, calling DLLs, files,
// names, flow) and the commands whose numbers those functions share; other calls add nothing to
// the text the heuristics and signatures read.
#include "XlmFunctions.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tessaly::analysis::xlm {
namespace {

using Entry = std::pair<std::uint16_t, std::string_view>;

constexpr std::array kFunctions = {
    Entry{30, "REPT("},         Entry{31, "MID("},          Entry{53, "GOTO("},        Entry{54, "HALT("},
    Entry{55, "RETURN("},       Entry{88, "SET.NAME("},     Entry{108, "SET.VALUE("},  Entry{110, "EXEC("},
    Entry{111, "CHAR("},        Entry{132, "FOPEN("},       Entry{133, "FCLOSE("},     Entry{137, "FWRITELN("},
    Entry{138, "FWRITE("},      Entry{148, "INDIRECT("},    Entry{149, "REGISTER("},   Entry{150, "CALL("},
    Entry{166, "FILES("},       Entry{175, "INITIATE("},    Entry{178, "EXECUTE("},    Entry{185, "GET.CELL("},
    Entry{186, "GET.WORKSPACE("}, Entry{187, "GET.WINDOW("}, Entry{188, "GET.DOCUMENT("}, Entry{201, "UNREGISTER("},
    Entry{236, "CREATE.OBJECT("}, Entry{257, "EVALUATE("},   Entry{267, "REGISTER.ID("}, Entry{268, "GET.WORKBOOK("},
};

constexpr std::array kCommands = {
    Entry{1, "OPEN("},          Entry{4, "SAVE("},          Entry{5, "SAVE.AS("},      Entry{6, "FILE.DELETE("},
    Entry{10, "QUIT("},         Entry{16, "CLOSE("},        Entry{17, "RUN("},         Entry{93, "HIDE("},
    Entry{94, "UNHIDE("},       Entry{96, "FORMULA("},      Entry{97, "FORMULA.FILL("}, Entry{110, "DELETE.NAME("},
    Entry{118, "ALERT("},       Entry{122, "MESSAGE("},     Entry{125, "APP.ACTIVATE("}, Entry{131, "SEND.KEYS("},
    Entry{148, "ON.TIME("},     Entry{149, "WAIT("},        Entry{150, "FORMAT.FONT("}, Entry{168, "ON.KEY("},
};

template <std::size_t N>
std::optional<std::string_view> Find(const std::array<Entry, N>& table, std::uint16_t number) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const Entry& e) { return e.first == number; });
    if (it == table.end()) return std::nullopt;
    return it->second;
}

}  // namespace

std::optional<std::string_view> FunctionName(std::uint16_t iftab) { return Find(kFunctions, iftab); }

std::optional<std::string_view> VariableFunctionName(std::uint16_t tab) {
    const std::uint16_t number = tab & static_cast<std::uint16_t>(~kCommandBit);
    return (tab & kCommandBit) ? Find(kCommands, number) : Find(kFunctions, number);
}

}  // namespace tessaly::analysis::xlm
