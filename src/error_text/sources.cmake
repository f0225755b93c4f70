# Error numbers in words, shared by the sweep and the outbreak report.
get_filename_component(purgekit_error_text_dir ${CMAKE_CURRENT_LIST_DIR} ABSOLUTE)
set(PURGEKIT_ERROR_TEXT_POSIX_SOURCES ${purgekit_error_text_dir}/error_text_posix.cpp)
set(PURGEKIT_ERROR_TEXT_WIN32_SOURCES ${purgekit_error_text_dir}/error_text_win32.cpp)
