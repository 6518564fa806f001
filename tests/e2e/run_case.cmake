# Runs the program on one end-to-end case and compares what it wrote.
#
#   cmake -DBIN=<zorvel_raster> -DCASE_DIR=<case> -DWORK_DIR=<scratch> -P run_case.cmake
#
# The case folder holds answers.txt (the answers, words apart: the first two
# are the folder and the drawing name), drawing.dxf or drawing.txt (the name
# of a drawing that several cases share, in drawings/; neither for a missing
# drawing), before/ (files of an earlier run, put in the folder first, when
# given) and expected/: status (the exit status), stdout.txt and stderr.txt
# (where given; @ROOT@ stands for the data root), the output files by name
# (large ones packed in outputs.tar.gz), absent.txt listing outputs that must
# not exist, and folder.txt listing every file the folder must hold.
#
# Every case runs with its messages in Spanish (LANGUAGE=es on C.UTF-8). A
# dialogue case runs again under other locales (-DMESSAGES=<NAME=VALUE;...>,
# which the first run passes to runs of this script): the dialogue writes
# the same standard output and files under every one, its standard-error
# lines in the language the locale asks for.

foreach(var BIN CASE_DIR WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_case.cmake needs -D${var}=...")
  endif()
endforeach()

if(NOT DEFINED MESSAGES)
  set(MESSAGES "")
endif()
# the locale variables of the run, and nothing of the caller's
set(language --unset=LANGUAGE --unset=LC_ALL --unset=LC_MESSAGES --unset=LANG)
if(MESSAGES)
  list(APPEND language ${MESSAGES})
else()
  list(APPEND language "LANGUAGE=es" "LC_ALL=C.UTF-8")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
set(root "${WORK_DIR}/root/")
# a dialogue case answers its questions; a command-line case (args.txt, one
# argument a line, @DIR@ standing for its folder, and env.txt, NAME=VALUE
# lines for its environment) gives options instead
set(answers "obra;curvas")
if(EXISTS "${CASE_DIR}/answers.txt")
  file(STRINGS "${CASE_DIR}/answers.txt" answers)
  # a line may hold several answers, as the program reads word by word
  string(REGEX REPLACE "[ \t]+" ";" answers "${answers}")
endif()
# answers that end before the names are given: the drawing stays where
# those names would put it
set(folder obra)
set(drawing curvas)
list(LENGTH answers given)
if(given GREATER 0)
  list(GET answers 0 folder)
endif()
if(given GREATER 1)
  list(GET answers 1 drawing)
endif()
set(data_dir "${root}${folder}")
file(MAKE_DIRECTORY "${data_dir}")
set(drawing_file "${CASE_DIR}/drawing.dxf")
if(EXISTS "${CASE_DIR}/drawing.txt")
  file(STRINGS "${CASE_DIR}/drawing.txt" shared)
  set(drawing_file "${CMAKE_CURRENT_LIST_DIR}/drawings/${shared}.dxf")
  if(NOT EXISTS "${drawing_file}")
    message(FATAL_ERROR "${CASE_DIR}/drawing.txt names ${shared}, which is not in drawings/")
  endif()
endif()
if(EXISTS "${drawing_file}")
  configure_file("${drawing_file}" "${data_dir}/${drawing}.dxf" COPYONLY)
endif()
if(IS_DIRECTORY "${CASE_DIR}/before")
  file(GLOB earlier "${CASE_DIR}/before/*")
  file(COPY ${earlier} DESTINATION "${data_dir}")
endif()

if(EXISTS "${CASE_DIR}/args.txt")
  file(STRINGS "${CASE_DIR}/args.txt" arguments)
  string(REPLACE "@DIR@" "${data_dir}" arguments "${arguments}")
  set(environment "")
  if(EXISTS "${CASE_DIR}/env.txt")
    file(STRINGS "${CASE_DIR}/env.txt" environment)
    string(REPLACE "@DIR@" "${data_dir}" environment "${environment}")
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${language} ${environment} "${BIN}" ${arguments}
    INPUT_FILE /dev/null
    OUTPUT_FILE "${WORK_DIR}/stdout.txt"
    ERROR_FILE "${WORK_DIR}/stderr.txt"
    RESULT_VARIABLE status)
  set(answers "")
else()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "ZORVEL_RASTER_ROOT=${root}" ${language} "${BIN}"
    INPUT_FILE "${CASE_DIR}/answers.txt"
    OUTPUT_FILE "${WORK_DIR}/stdout.txt"
    ERROR_FILE "${WORK_DIR}/stderr.txt"
    RESULT_VARIABLE status)
endif()

set(failures 0)

# Reports the first byte where two files differ, with the line it stands in.
function(compare_files name expected actual)
  file(READ "${expected}" want HEX)
  if(NOT EXISTS "${actual}")
    message(SEND_ERROR "${name}: not written (expected at ${actual})")
    set(failures 1 PARENT_SCOPE)
    return()
  endif()
  file(READ "${actual}" got HEX)
  if(want STREQUAL got)
    return()
  endif()
  string(LENGTH "${want}" lw)
  string(LENGTH "${got}" lg)
  set(at 0)
  while(at LESS lw AND at LESS lg)
    string(SUBSTRING "${want}" ${at} 2 a)
    string(SUBSTRING "${got}" ${at} 2 b)
    if(NOT a STREQUAL b)
      break()
    endif()
    math(EXPR at "${at} + 2")
  endwhile()
  math(EXPR offset "${at} / 2")
  math(EXPR lw "${lw} / 2")
  math(EXPR lg "${lg} / 2")
  # the line that holds the first difference, in both files
  file(READ "${expected}" want_text)
  file(READ "${actual}" got_text)
  string(SUBSTRING "${want_text}" 0 ${offset} head)
  string(REGEX MATCHALL "\n" line_ends "${head}")
  list(LENGTH line_ends line)
  math(EXPR line "${line} + 1")
  message(SEND_ERROR "${name}: differs at byte ${offset}, line ${line} (expected ${lw} bytes, got ${lg}); "
                     "actual output kept in ${actual}")
  set(failures 1 PARENT_SCOPE)
endfunction()

# Standard output and error, with @ROOT@ standing for the data root and
# @DIR@ for the folder.
foreach(stream stdout stderr)
  if(EXISTS "${CASE_DIR}/expected/${stream}.txt" AND NOT (MESSAGES AND stream STREQUAL "stderr"))
    file(READ "${CASE_DIR}/expected/${stream}.txt" text)
    string(REPLACE "@ROOT@" "${root}" text "${text}")
    string(REPLACE "@DIR@" "${data_dir}" text "${text}")
    file(WRITE "${WORK_DIR}/expected_${stream}.txt" "${text}")
    compare_files("${stream}" "${WORK_DIR}/expected_${stream}.txt" "${WORK_DIR}/${stream}.txt")
  endif()
endforeach()

file(GLOB outputs RELATIVE "${CASE_DIR}/expected" "${CASE_DIR}/expected/*")
foreach(name ${outputs})
  if(NOT name MATCHES "^(status|stdout.txt|stderr.txt|absent.txt|folder.txt|outputs.tar.gz)$")
    compare_files("${name}" "${CASE_DIR}/expected/${name}" "${data_dir}/${name}")
  endif()
endforeach()
if(EXISTS "${CASE_DIR}/expected/outputs.tar.gz")
  set(unpacked "${WORK_DIR}/expected_outputs")
  file(ARCHIVE_EXTRACT INPUT "${CASE_DIR}/expected/outputs.tar.gz" DESTINATION "${unpacked}")
  file(GLOB packed RELATIVE "${unpacked}" "${unpacked}/*")
  foreach(name ${packed})
    compare_files("${name}" "${unpacked}/${name}" "${data_dir}/${name}")
  endforeach()
endif()

if(EXISTS "${CASE_DIR}/expected/absent.txt")
  file(STRINGS "${CASE_DIR}/expected/absent.txt" absent)
  foreach(name ${absent})
    if(EXISTS "${data_dir}/${name}")
      message(SEND_ERROR "${name}: written, but should not exist")
      set(failures 1)
    endif()
  endforeach()
endif()

if(EXISTS "${CASE_DIR}/expected/folder.txt")
  file(STRINGS "${CASE_DIR}/expected/folder.txt" want_files)
  file(GLOB held RELATIVE "${data_dir}" "${data_dir}/*")
  list(SORT held)
  list(SORT want_files)
  if(NOT held STREQUAL want_files)
    message(SEND_ERROR "the folder holds ${held}, expected ${want_files}")
    set(failures 1)
  endif()
endif()

# A complete run answered with plain numbers is run again from the command
# line with the same settings and the dialogue's grid: it must write the same
# three files.
list(LENGTH answers count)
set(numbers "")
if(count GREATER 3)
  list(SUBLIST answers 3 -1 numbers)
endif()
set(plain_numbers TRUE)
foreach(n ${numbers})
  if(NOT n MATCHES "^-?[0-9]+(\\.[0-9]+)?$")
    set(plain_numbers FALSE)
  endif()
endforeach()
file(READ "${CASE_DIR}/expected/status" cli_status)
string(STRIP "${cli_status}" cli_status)
if(NOT MESSAGES AND cli_status STREQUAL "0" AND plain_numbers AND (count EQUAL 10 OR count EQUAL 11))
  list(GET answers 2 image)
  list(GET answers 3 pixel)
  list(GET answers 4 reg)
  list(GET answers 5 angle)
  list(GET answers 6 sense)
  set(sense_word left)
  if(sense STREQUAL "1")
    set(sense_word right)
  endif()
  set(interval_option "")
  if(count EQUAL 11)
    list(GET answers 8 typed)
    set(interval_option -interval ${typed})
  endif()
  list(GET answers -2 minimum)
  list(GET answers -1 maximum)
  set(cli_dir "${WORK_DIR}/cli")
  file(MAKE_DIRECTORY "${cli_dir}")
  execute_process(
    COMMAND "${BIN}" -q -dialogue_grid -tr ${pixel} -reg ${reg} -rot ${angle} -sense ${sense_word} ${interval_option}
            -min ${minimum} -max ${maximum} "${data_dir}/${drawing}.dxf" "${cli_dir}/${image}"
    OUTPUT_VARIABLE cli_out ERROR_VARIABLE cli_err RESULT_VARIABLE cli_result)
  if(NOT cli_result STREQUAL "0" OR NOT cli_out STREQUAL "")
    message(SEND_ERROR "command line: exit status ${cli_result}, output '${cli_out}'; stderr: ${cli_err}")
    set(failures 1)
  endif()
  foreach(suffix _zorvl.raw _zorvl.txt _zorvl_tab.txt)
    if(EXISTS "${CASE_DIR}/expected/${image}${suffix}")
      compare_files("command line ${image}${suffix}" "${CASE_DIR}/expected/${image}${suffix}" "${cli_dir}/${image}${suffix}")
    elseif(EXISTS "${unpacked}/${image}${suffix}")
      compare_files("command line ${image}${suffix}" "${unpacked}/${image}${suffix}" "${cli_dir}/${image}${suffix}")
    endif()
  endforeach()
endif()

file(READ "${CASE_DIR}/expected/status" want_status)
string(STRIP "${want_status}" want_status)
if(NOT status STREQUAL want_status)
  file(READ "${WORK_DIR}/stderr.txt" err)
  message(SEND_ERROR "exit status ${status}, expected ${want_status}; stderr: ${err}")
  set(failures 1)
endif()

if(NOT MESSAGES AND NOT EXISTS "${CASE_DIR}/args.txt")
  set(k 0)
  foreach(locale "LC_ALL=C" "LANG=fr_FR.UTF-8" "LANG=es_ES.UTF-8" "LANGUAGE=en,LC_ALL=C.UTF-8")
    string(REPLACE "," ";" locale_list "${locale}")
    math(EXPR k "${k} + 1")
    execute_process(
      COMMAND ${CMAKE_COMMAND} -DBIN=${BIN} -DCASE_DIR=${CASE_DIR} -DWORK_DIR=${WORK_DIR}/locale_${k}
              "-DMESSAGES=${locale_list}" -P "${CMAKE_CURRENT_LIST_FILE}"
      OUTPUT_VARIABLE other_out ERROR_VARIABLE other_err RESULT_VARIABLE other_result)
    if(NOT other_result STREQUAL "0")
      message(SEND_ERROR "under ${locale}: ${other_err}")
      set(failures 1)
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "case ${CASE_DIR} failed; its files are in ${WORK_DIR}")
endif()
