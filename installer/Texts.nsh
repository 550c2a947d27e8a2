; The installer's own texts; every page and button text is NSIS's own Simplified Chinese.

LangString DirectoryHint ${LANG_SIMPCHINESE} "请选择 Tessaly 的安装文件夹。文件夹路径只能由英文字母、数字和英文符号组成，不能含有中文字符，否则主程序无法运行。"
LangString NeedAdministrator ${LANG_SIMPCHINESE} "安装 Tessaly 需要管理员权限，请以管理员身份运行安装程序。"
LangString FolderNotAscii ${LANG_SIMPCHINESE} "安装文件夹的路径只能由英文字母、数字和英文符号组成：$\r$\n$INSTDIR"
LangString WaitingForPrograms ${LANG_SIMPCHINESE} "正在等待 Tessaly 的程序退出..."
LangString ProgramsStillRunning ${LANG_SIMPCHINESE} "Tessaly 的程序没有退出，无法继续。请结束正在进行的扫描或清除后重试。"
LangString CopyFailed ${LANG_SIMPCHINESE} "复制新版本的文件失败，原有版本保持不变。"
LangString AskRemoveUserData ${LANG_SIMPCHINESE} "是否同时删除隔离区中备份的文件、扫描日志和程序设置？$\r$\n选择“否”将保留这些文件。"
LangString InstallerDescription ${LANG_SIMPCHINESE} "Tessaly 安装程序"
