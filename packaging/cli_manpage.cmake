# Writes the manual page of quillmere-cli around the program's own --help text,
# so that the page never tells of commands the program does not have.
# Usage: cmake -DCLI=path -DVERSION=x.y -DOUT=quillmere-cli.1 -P cli_manpage.cmake
execute_process(COMMAND "${CLI}" --help OUTPUT_VARIABLE help ERROR_VARIABLE errors RESULT_VARIABLE result)
if(help STREQUAL "")
    set(help "${errors}")
endif()
# Backslashes and lines that start with a dot or quote would be read as roff.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(STRIP "${help}" help)
if(help STREQUAL "")
    set(help "Run quillmere\\-cli \\-\\-help for its commands.")
endif()
file(WRITE "${OUT}" ".TH QUILLMERE\\-CLI 1 \"December 2026\" \"Quillmere ${VERSION}\" \"User Commands\"
.SH NAME
quillmere\\-cli \\- the records of Quillmere Password Storage from the command line
.SH SYNOPSIS
.B quillmere\\-cli
.RI [ arguments ]
.SH DESCRIPTION
.B quillmere\\-cli
works on the same records as the desktop program
.BR quillmere (1),
in the same data folder, without a window.
Its commands, as the program itself lists them:
.PP
.nf
${help}
.fi
.SH FILES
.TP
.I $XDG_DATA_HOME/quillmere/
(by default
.IR ~/.local/share/quillmere/ )
the data folder of an installed program, with the records in
.I password.mdb
and the sign-in password in
.IR pass2.mdb ;
see
.BR quillmere (1)
for how it is made at the first start.
A portable copy keeps both files beside the program instead.
.SH SEE ALSO
.BR quillmere (1)
")
