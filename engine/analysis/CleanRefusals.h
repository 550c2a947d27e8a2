// Why a clean was refused, as the user reads it in the scan page's result list: Chinese like every
// other text the user sees. The document is left exactly as it was whenever one of these is given.
#pragma once

#include <string_view>

namespace tessaly::analysis::refusals {

inline constexpr std::string_view kPresentationUnreadable =
    "演示文稿的记录结构无法完整读取，无法在保证文档可用的前提下删除其中的宏，文档未作改动。";
inline constexpr std::string_view kEmbeddedMacros =
    "演示文稿中嵌入的文档本身带有宏，无法只删除演示文稿的宏，文档未作改动。";

inline constexpr std::string_view kWordBasicUnreadable =
    "Word 6.0/95 文档的宏表无法完整读取，或宏与正文内容重叠，无法安全删除宏，文档未作改动。";

inline constexpr std::string_view kExcel5ModuleSheets =
    "Excel 5.0/95 工作簿的宏以模块工作表保存，删除会改变其后各工作表的编号和公式引用，无法安全清除，文档未作改动。";

inline constexpr std::string_view kCannotKeepEncryption =
    "文档用 Office 默认密码加密，无法在保留加密的情况下安全清除宏，文件未改动";

inline constexpr std::string_view kNoContainer =
    "此文档是早期版本的单一格式文件或网页，其中的宏无法在不损坏文档的情况下删除，文档未作改动。";

}  // namespace tessaly::analysis::refusals
