# Makes the relinking archive of kestrova.exe (cmake -P): the program's own
# object files and libraries, as the build linked them, and link.sh, the
# build's own link command with Qt's files taken from a folder the user
# names. Run by the kestrova_relink_kit target after kestrova.exe is linked.
#   -DBUILD_DIR=  the build folder (Ninja)    -DNINJA=  ninja
#   -DQT_PREFIX=  the Qt the build used        -DNAME=   the archive's name
#   -DREADME=     README.txt of the archive
foreach(_var BUILD_DIR NINJA QT_PREFIX NAME README)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "RelinkKit.cmake: ${_var} is not set")
  endif()
endforeach()

execute_process(COMMAND "${NINJA}" -C "${BUILD_DIR}" -t commands kestrova
                OUTPUT_VARIABLE _commands RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "RelinkKit.cmake: ninja could not list the commands of kestrova")
endif()
string(STRIP "${_commands}" _commands)
string(REGEX REPLACE "^.*\n" "" _link "${_commands}")  # the last one links
string(REGEX REPLACE "^: && " "" _link "${_link}")
string(REGEX REPLACE " && :$" "" _link "${_link}")
separate_arguments(_words UNIX_COMMAND "${_link}")
list(POP_FRONT _words _compiler)

set(_kit "${BUILD_DIR}/${NAME}")
file(REMOVE_RECURSE "${_kit}")
file(MAKE_DIRECTORY "${_kit}/objects")
string(CONCAT _script "#!/bin/sh\n"
    "# Links kestrova.exe again, from the object files in objects/ and a static\n"
    "# Qt 6.4 for MinGW-w64 in the folder QT (see README.txt).\n"
    "#   QT=/path/to/qt sh link.sh        (CXX names another compiler)\n"
    "set -e\n"
    ": \"\${QT:?set QT to the folder of your Qt for MinGW-w64}\"\n"
    "cd \"$(dirname \"$0\")\"\n"
    "exec \"\${CXX:-x86_64-w64-mingw32-g++-posix}\"")
set(_next_is_output FALSE)
foreach(_word IN LISTS _words)
  string(FIND "${_word}" "${QT_PREFIX}" _at)
  if(_next_is_output)
    set(_word "kestrova.exe")
    set(_next_is_output FALSE)
  elseif(_word STREQUAL "-o")
    set(_next_is_output TRUE)
  elseif(_word MATCHES "^-Wl,--out-implib")
    continue()
  elseif(_at EQUAL 0)
    string(LENGTH "${QT_PREFIX}" _length)
    string(SUBSTRING "${_word}" ${_length} -1 _rest)
    string(APPEND _script " \\\n  \"\$QT\"'${_rest}'")
    continue()
  elseif(NOT IS_ABSOLUTE "${_word}" AND EXISTS "${BUILD_DIR}/${_word}")
    get_filename_component(_folder "objects/${_word}" DIRECTORY)
    file(COPY "${BUILD_DIR}/${_word}" DESTINATION "${_kit}/${_folder}")
    set(_word "objects/${_word}")
  endif()
  string(REPLACE "'" "'\\''" _word "${_word}")
  string(APPEND _script " \\\n  '${_word}'")
endforeach()
string(APPEND _script "\n")
file(WRITE "${_kit}/link.sh" "${_script}")
file(COPY_FILE "${README}" "${_kit}/README.txt")

file(REMOVE "${BUILD_DIR}/${NAME}.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${NAME}.zip" --format=zip "${NAME}"
                WORKING_DIRECTORY "${BUILD_DIR}" RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "RelinkKit.cmake: could not make ${NAME}.zip")
endif()
file(REMOVE_RECURSE "${_kit}")
