# cmake -DEXE=... -DSCAN_EXE=... -DREPORT_EXE=... -DREADME=... -DOUT=... -DWORK=... -P make_release.cmake
# Packs the program, the sweep, the outbreak report and the user README (with Windows line
# ends) into one zip file.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(READ ${README} text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${WORK}/README.TXT "${text}")
file(COPY ${EXE} ${SCAN_EXE} ${REPORT_EXE} DESTINATION ${WORK})
file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip purgekit.exe purgekit-scan.exe
                        purgekit-report.exe README.TXT
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not write ${OUT}")
endif()
