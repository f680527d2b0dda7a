# Read by ctest before it runs anything: qrt_timeouts holds test names and
# their time-outs on a native machine, qrt_bed the build tree's bed.
# The pace is the running bed's (tools/run-tests.sh starts it first). A bed
# still to be started by the suite's first test has no pace yet: on a
# machine that emulates Wine, 10 stands in for it (what such a machine
# measures), and 1 elsewhere.
set(pace 1)
if(EXISTS "${qrt_bed}/state")
  file(STRINGS "${qrt_bed}/state" line REGEX "^pace=[0-9]+$")
endif()
if(line)
  string(REGEX REPLACE "^pace=" "" pace "${line}")
else()
  execute_process(COMMAND bash -c "source \"$1/tools/winebed/bed.sh\" && winebed_i386" - "${qrt_repo}"
                  OUTPUT_VARIABLE i386 ERROR_QUIET)
  if(i386 MATCHES "^emulated")
    set(pace 10)
  endif()
endif()
if(pace GREATER 1)
  set(name "")
  foreach(item IN LISTS qrt_timeouts)
    if(name STREQUAL "")
      set(name "${item}")
    else()
      math(EXPR seconds "${item} * ${pace}")
      set_tests_properties("${name}" PROPERTIES TIMEOUT ${seconds})
      set(name "")
    endif()
  endforeach()
endif()
