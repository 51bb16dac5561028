# Installs the logind drop-in, which only its own component installs, into a
# scratch DESTDIR and checks what it sets (the packages' tests check the rest):
#   cmake -DBUILD=<build dir> -DSCRATCH=<empty folder> -P check_install.cmake
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${SCRATCH}/root"
                        ${CMAKE_COMMAND} --install "${BUILD}" --component logind-dropin
                RESULT_VARIABLE status OUTPUT_QUIET)
set(dropin "${SCRATCH}/root/etc/systemd/logind.conf.d/hushmoor-inhibit-delay.conf")
if(NOT status EQUAL 0 OR NOT EXISTS "${dropin}")
  message(FATAL_ERROR "the logind drop-in was not installed to ${dropin}")
endif()
file(STRINGS "${dropin}" lines REGEX "^InhibitDelayMaxSec=")
if(NOT lines STREQUAL "InhibitDelayMaxSec=15")
  message(FATAL_ERROR "unexpected drop-in setting: ${lines}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
message(STATUS "logind drop-in ok")
