# Runs at install time, when the prefix is known: the menu entry starts the player from where
# this install put it.
set(exe "${CMAKE_INSTALL_PREFIX}/Zorvita/Zorvita")
if(exe MATCHES "[\r\n]")
    message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break: "
                        "choose another install prefix.")
endif()
# In the command line the path is quoted; inside quotes ", `, $ and \ take a backslash, and a
# literal % is doubled.
string(REPLACE "\\" "\\\\" quoted "${exe}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
# Every backslash of a value is escaped once more by the entry's own string rules.
string(REPLACE "\\" "\\\\" ZORVITA_EXEC "\"${quoted}\"")
string(REPLACE "\\" "\\\\" ZORVITA_TRYEXEC "${exe}")
set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/zorvita.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/zorvita.desktop.in" "${entry}" @ONLY)
