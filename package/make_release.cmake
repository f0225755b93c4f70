# cmake -DEXE=... -DSCAN_EXE=... -DUNATTENDED_EXE=... -DFLEET_DIR=... -DREPORT_EXE=...
#       -DREADME=... -DOUT=... -DWORK=... -P make_release.cmake
# Packs the program, the sweep, the unattended launcher, the fleet scripts (fleet\), the outbreak
# report and the user README into one zip file; the texts with Windows line ends (command.com
# reads nothing else).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/fleet)
foreach(pair "${README}|README.TXT" "${FLEET_DIR}/startup.cmd|fleet/startup.cmd"
             "${FLEET_DIR}/logon.bat|fleet/logon.bat")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  file(READ ${source} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${WORK}/${target} "${text}")
endforeach()
file(COPY ${EXE} ${SCAN_EXE} ${UNATTENDED_EXE} ${REPORT_EXE} DESTINATION ${WORK})
file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip purgekit.exe
                        purgekit-scan.exe purgekit-unattended.exe purgekit-report.exe README.TXT
                        fleet/startup.cmd fleet/logon.bat
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not write ${OUT}")
endif()
