# Installs the build into a scratch prefix and checks the layout a laptop gets:
#   cmake -DBUILD=<build dir> -DSCRATCH=<empty folder> -P check_install.cmake
file(REMOVE_RECURSE "${SCRATCH}")
# Under DESTDIR as well, so that a rule writing to an absolute path such as
# /etc lands in the scratch folder, where it is caught, and not on this machine.
execute_process(COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${SCRATCH}/plain"
                        ${CMAKE_COMMAND} --install "${BUILD}" --prefix /prefix
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

include(GNUInstallDirs)
set(apps "${SCRATCH}/plain/prefix/${CMAKE_INSTALL_LIBDIR}/hushmoor/Applications")
set(executable "${apps}/Hushmoor.app/Contents/MacOS/Hushmoor")
if(NOT EXISTS "${executable}" OR IS_DIRECTORY "${executable}")
  message(FATAL_ERROR "missing ${executable}")
endif()
set(panels "${apps}/Hushmoor.app/Contents/Frameworks/libhushmoor-gtk-panels.so")
if(NOT EXISTS "${panels}")
  message(FATAL_ERROR "missing ${panels}")
endif()
if(EXISTS "${SCRATCH}/plain/etc")
  message(FATAL_ERROR "a plain install must not write to /etc")
endif()

# The drop-in only by its own component, and into DESTDIR here.
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
message(STATUS "install layout ok")
