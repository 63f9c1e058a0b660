# Fails when a translation file is not finished for the sources: lupdate
# (run as the update_translations target runs it) brings a copy of each .ts
# up to date, and the copy must then hold no text without a finished
# translation (a text added to the sources), no text the sources no longer
# have (vanished or obsolete), and every text in the one context the window
# translates in.
#   cmake -DLUPDATE=... -DSOURCES=dir -DTS_FILES=a.ts|b.ts -DOPTIONS=o1|o2
#         -DWORK_DIR=dir -P CheckTranslations.cmake
string(REPLACE "|" ";" ts_files "${TS_FILES}")
string(REPLACE "|" ";" options "${OPTIONS}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(failures "")
foreach(ts IN LISTS ts_files)
  get_filename_component(name "${ts}" NAME)
  set(copy "${WORK_DIR}/${name}")
  configure_file("${ts}" "${copy}" COPYONLY)
  execute_process(COMMAND "${LUPDATE}" ${options} "${SOURCES}" -ts "${copy}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}:\n${output}")
  endif()
  file(READ "${copy}" text)
  set(comments "(\n *<(extra)?comment>[^<]*</(extra)?comment>)*")
  string(REGEX MATCHALL "<source>[^<]*</source>${comments}\n *<translation type=\"(unfinished|vanished|obsolete)\""
         bad "${text}")
  foreach(entry IN LISTS bad)
    string(REGEX REPLACE "<source>([^<]*)</source>.*type=\"([a-z]+)\"" "\\2: \\1" entry "${entry}")
    string(APPEND failures "  ${name}: ${entry}\n")
  endforeach()
  string(REGEX MATCHALL "<translation>[ \n]*</translation>" empty "${text}")
  if(empty)
    string(APPEND failures "  ${name}: translations left empty\n")
  endif()
  string(REGEX MATCHALL "<name>[^<]*</name>" contexts "${text}")
  list(REMOVE_DUPLICATES contexts)
  if(NOT contexts STREQUAL "<name>Kestrova</name>")
    string(APPEND failures "  ${name}: contexts ${contexts} (only \"Kestrova\" is translated)\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "The translations do not match the sources; refresh them with "
                      "`cmake --build <build> --target update_translations` and translate what is new:\n${failures}")
endif()
