# Copies a text file with CRLF line ends, as Windows editors expect:
#   cmake -DIN=<file> -DOUT=<file> [-DFROM=<text>] -P crlf.cmake
# With FROM, the lines between the first one (a title) and the first line that starts with FROM
# are left out: notes for the maintainers, which a user of the zip has no use for.
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
if(FROM)
  string(FIND "${text}" "\n" title_end)
  string(FIND "${text}" "\n${FROM}" from)
  if(title_end GREATER -1 AND from GREATER title_end)
    string(SUBSTRING "${text}" 0 ${title_end} title)
    string(SUBSTRING "${text}" ${from} -1 rest)
    set(text "${title}\n${rest}")
  endif()
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
