# Runs the tests of the i686 build (PURGEKIT_I686_BUILD_DIR, its names beginning with "i686.")
# in this build's CTest run. When that build has not been configured, one test says so and
# fails: the 32-bit runs are never left out without a word.
set(purgekit_i686_tests ${CMAKE_CURRENT_BINARY_DIR}/i686_tests.ctest)
file(WRITE ${purgekit_i686_tests} "\
if(EXISTS \"${PURGEKIT_I686_BUILD_DIR}/CTestTestfile.cmake\")
  subdirs(\"${PURGEKIT_I686_BUILD_DIR}\")
else()
  add_test(i686.build \"sh\" \"-c\" \"echo 'missing: the i686 build in ${PURGEKIT_I686_BUILD_DIR} (scripts/build.sh makes it)'; exit 1\")
endif()
")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${purgekit_i686_tests})
