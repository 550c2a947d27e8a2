# Tessaly macro virus signatures.
# Each section names a family and describes, over the normalised macro source (lower case, white
# space collapsed, comments removed), the statements by which it spreads or drops. Descriptions of
# a behaviour that ordinary macros share too (downloading, writing a script, mailing) carry
# "start = auto": they name a virus only in macros that start themselves. Loaded by zdvcore.exe from
# "tessaly.sig" in the program folder; a built-in copy is used when the file is missing.

# Word: copies its own module into the global template with the code module interface.
[W97M.Replicator.NormalTemplate]
target = vba
all = normaltemplate.vbproject.vbcomponents
any = .insertlines
any = .addfromstring
any = .addfromfile
any = .replaceline

# Word: exports itself and imports into every open document (classic "organizer" copy).
[W97M.Replicator.Organizer]
target = vba
all = application.organizercopy
any = normaltemplate.fullname
any = activedocument.fullname
any = normal.dot

# Word: copies code between active document and template by line count.
[W97M.Replicator.LineCopy]
target = vba
all = .codemodule.lines(
all = .codemodule.countoflines
any = .insertlines
any = .addfromstring

# Excel: drops a copy of itself into the start-up folder, so every workbook gets infected.
[X97M.Replicator.XLStart]
target = vba
start = auto
all = application.startuppath
all = .saveas

[X97M.Replicator.XLStartPath]
target = vba
start = auto
all = xlstart
all = .saveas

# Excel: code module copy into each opened workbook.
[X97M.Replicator.Module]
target = vba
all = .vbproject.vbcomponents
all = .codemodule
any = workbooks.open
any = sheet_activate
any = workbook_sheetactivate

# Mass mailer: sends the infected document to the address book.
[W97M.MassMailer]
target = vba
start = auto
all = outlook.application
all = getnamespace("mapi")
any = addresslists
any = .recipients.add

# Dropper: writes a script or program to disk and runs it.
[W97M.Dropper.Script]
target = vba
start = auto
all = scripting.filesystemobject
all = .createtextfile
any = wscript.shell
any = shell(
any = shell "
any = .run

# Downloader: fetches a program from the network and starts it.
[W97M.Downloader.UrlMon]
target = vba
start = auto
all = urldownloadtofile
any = shell
any = .run
any = createprocess
any = shellexecute

[W97M.Downloader.XmlHttp]
target = vba
start = auto
any = msxml2.xmlhttp
any = microsoft.xmlhttp
any = winhttp.winhttprequest
all = adodb.stream
all = .savetofile

# Disables the macro virus protection of Word before spreading.
[W97M.Stealth.Options]
target = vba
all = options.virusprotection = false
any = .vbcomponents
any = normaltemplate

# Excel 4.0 macro sheet downloaders and runners.
[X97M.XLM.Downloader]
target = xlm
all = urldownloadtofile
any = exec(
any = call(
any = register(

[X97M.XLM.Register]
target = xlm
all = register(
any = kernel32
any = shell32
any = virtualalloc

# WordBasic (Word 6.0/95 templates): the classic families, known by the macros they install and
# the strings they carry, as their public descriptions give them. The text of a WordBasic template
# is "Sub <macro name>" for every macro, followed by the names and strings of its tokens.
[WM.Concept.A]
target = wordbasic
all = sub aaazao
all = sub aaazfs

[WM.Nuclear.A]
target = wordbasic
all = sub dropsuriv
all = sub insertpayload

[WM.Colors.A]
target = wordbasic
all = countersu
any = sub toolsmacro
any = sub autoexec

[WM.Wazzu.A]
target = wordbasic
all = sub autoopen
all = wazzu

[WM.Hot.A]
target = wordbasic
all = sub insertpbreak
any = sub toolsrepaginat
any = sub drawbringinfrout
any = qlhot

[WM.Cap.A]
target = wordbasic
all = sub cap
all = sub filetemplates
all = sub toolsmacro

# Excel 5.0/95: hooks the activation of every sheet and copies its module into the personal macro
# workbook of the start-up folder (the family's public description).
[XM.Laroux.A]
target = vba
all = sub check_files
all = onsheetactivate
