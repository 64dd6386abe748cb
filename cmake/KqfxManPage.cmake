# Makes kqfx(1): help2man over 'kqfx --help' and 'kqfx --version', with a
# COMMANDS section holding each command's own help page verbatim.
# cmake -DKQFX=... -DHELP2MAN=... -DGZIP=... -DOUT=.../kqfx.1 -DSOURCE_DATE_EPOCH=N -P KqfxManPage.cmake
execute_process(COMMAND ${KQFX} help OUTPUT_VARIABLE overview COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "commands:\n(  [^\n]*\n)+" block "${overview}")
string(REGEX MATCHALL "\n  [a-z][a-z-]* " names "${block}")

set(include "[COMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  if(name STREQUAL "help")
    continue()
  endif()
  execute_process(COMMAND ${KQFX} help ${name} OUTPUT_VARIABLE page COMMAND_ERROR_IS_FATAL ANY)
  # roff: a backslash is written \e; a line may not start with . or '.
  string(REPLACE "\\" "\\e" page "${page}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" page "${page}")
  string(APPEND include ".SS ${name}\n.nf\n${page}.fi\n")
endforeach()
file(WRITE ${OUT}.include "${include}")

set(ENV{SOURCE_DATE_EPOCH} ${SOURCE_DATE_EPOCH})
execute_process(COMMAND ${HELP2MAN} --no-info --section 1
                        --name "render, inspect, validate, benchmark and analyse audio plug-ins"
                        --include ${OUT}.include --output ${OUT} ${KQFX}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${GZIP} -9n -f ${OUT} COMMAND_ERROR_IS_FATAL ANY)
