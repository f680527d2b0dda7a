# Makes the demo game the way a user would and plays it (and sees qrtc refuse
# a script with errors):
#   qrtc demo.qrs -o demo.img; qrtlink link qrtrun.exe demo.img demo.exe; demo.exe
# then moves its image onto the runtime again with extract and relink, and
# reads the image with qrtlink check and dump.
# The demo draws for three seconds, saves its screen and ends; a failing
# command stops it on an error box, so a clean exit 0 with the screenshot
# means the engine and the graphics did what the image asked.
#   cmake -DEMULATOR=... -DQRTC=... -DDEMO=<examples/demo> -DQRTLINK=... -DQRTRUN=... -DWORK=<folder on C:>
#         -P demo_game.cmake
cmake_minimum_required(VERSION 3.20)

# A minute for each program on a native machine, stretched by the running
# bed's pace (tools/winebed/start).
set(pace 1)
if(EXISTS "$ENV{QRT_WINEBED}/state")
  file(STRINGS "$ENV{QRT_WINEBED}/state" line REGEX "^pace=[0-9]+$")
  if(line)
    string(REGEX REPLACE "^pace=" "" pace "${line}")
  endif()
endif()
math(EXPR cap "60 * ${pace}")

# Output goes through files: programs that a game starts under Wine inherit
# its handles, and a pipe would stay open until they end, seconds later.
function(run expect_ok)
  execute_process(COMMAND ${EMULATOR} ${ARGN} WORKING_DIRECTORY "${WORK}" TIMEOUT ${cap}
                  RESULT_VARIABLE rc OUTPUT_FILE "${WORK}/out.txt" ERROR_FILE "${WORK}/err.txt")
  file(READ "${WORK}/out.txt" out)
  file(READ "${WORK}/err.txt" err)
  if(expect_ok AND NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n=> ${rc}\n${out}${err}")
  elseif(NOT expect_ok AND rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n=> succeeded, but should have failed\n${out}")
  endif()
  set(last_rc "${rc}" PARENT_SCOPE)
  set(last_output "${out}" PARENT_SCOPE)
  set(last_error "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# The demo runs until Escape; with this set it saves demo_shot.png after
# three seconds and ends.
set(ENV{QRT_DEMO_SHOT} 1)
file(COPY "${QRTRUN}" DESTINATION "${WORK}")
file(GLOB data "${DEMO}/*.bmp" "${DEMO}/*.x" "${DEMO}/*.wav")
file(COPY ${data} DESTINATION "${WORK}")
file(COPY "${DEMO}" DESTINATION "${WORK}/scripts")

run(TRUE "${QRTC}" scripts/demo/demo.qrs -o demo.img)
run(TRUE "${QRTLINK}" link qrtrun.exe demo.img demo.exe)
# qrtc writes the game itself the same, onto the runtime beside it.
run(TRUE "${QRTC}" scripts/demo/demo.qrs -o direct.exe)
file(SHA256 "${WORK}/demo.exe" linked)
file(SHA256 "${WORK}/direct.exe" direct)
if(NOT linked STREQUAL direct)
  message(FATAL_ERROR "qrtc -o game.exe differs from qrtlink link of its image")
endif()
# A script with errors: every one listed, exit 1, nothing written.
file(WRITE "${WORK}/bad.qrs" "INT a\na = b\nc = 1\n")
run(FALSE "${QRTC}" bad.qrs -o bad.exe)
if(NOT last_rc EQUAL 1 OR NOT last_error MATCHES "bad.qrs:2:5: QV0110[^\n]*\nbad.qrs:3:1: QV0110" OR EXISTS "${WORK}/bad.exe")
  message(FATAL_ERROR "qrtc on a script with errors => ${last_rc}\n${last_error}")
endif()
run(TRUE "${WORK}/demo.exe")
if(NOT EXISTS "${WORK}/demo_shot.png")
  message(FATAL_ERROR "the demo ended without its screenshot")
endif()

# The demo's image reads cleanly: nothing the runtime would refuse, nothing
# left unread, its cp932 text shown as UTF-8.
run(TRUE "${QRTLINK}" check demo.exe)
if(NOT last_output MATCHES ": 0 faults, 0 notes; checked")
  message(FATAL_ERROR "qrtlink check of the demo:\n${last_output}")
endif()
run(TRUE "${QRTLINK}" dump demo.exe)
foreach(expected "routine 0: main" "slot [0-9]+ = \"日本語の文字も表示できます\"" "G@SETUP\\(S"
                 "EXFUNC DLLs: 2\n  \"kernel32.dll\" \\(part of Windows\\)[^\n]*\n  \"msvcrt.dll\" \\(part of Windows\\)")
  if(NOT last_output MATCHES "${expected}")
    message(FATAL_ERROR "the demo's dump lacks ${expected}:\n${last_output}")
  endif()
endforeach()
if(last_output MATCHES "refused|not reached|not an instruction|reached outside")
  message(FATAL_ERROR "the demo's dump does not read cleanly: ${CMAKE_MATCH_0}")
endif()
run(TRUE "${QRTLINK}" check-runtime qrtrun.exe)
run(FALSE "${QRTLINK}" check-runtime demo.exe)

run(TRUE "${QRTLINK}" extract demo.exe extracted.img)
file(SHA256 "${WORK}/demo.img" made)
file(SHA256 "${WORK}/extracted.img" extracted)
if(NOT made STREQUAL extracted)
  message(FATAL_ERROR "the extracted image differs from the one linked")
endif()
run(TRUE "${QRTLINK}" relink qrtrun.exe demo.exe moved.exe)
run(TRUE "${WORK}/moved.exe")

# A game is not a runtime: linking onto it would hide the new image.
run(FALSE "${QRTLINK}" link demo.exe demo.img twice.exe)
if(NOT last_error MATCHES "already contains an image header")
  message(FATAL_ERROR "unclear refusal: ${last_error}")
endif()
if(EXISTS "${WORK}/twice.exe")
  message(FATAL_ERROR "a refused link left twice.exe behind")
endif()
run(FALSE "${QRTLINK}" extract qrtrun.exe none.img)
file(REMOVE_RECURSE "${WORK}")
