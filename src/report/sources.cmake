# The outbreak report's sources, shared by the Windows build (src/CMakeLists.txt) and the native
# Linux build (src/report/native/); the reader of the cleaner's messages and the JSON text come
# with them. Absolute paths.
get_filename_component(purgekit_report_dir ${CMAKE_CURRENT_LIST_DIR} ABSOLUTE)
get_filename_component(purgekit_src_dir ${purgekit_report_dir}/.. ABSOLUTE)
include(${purgekit_src_dir}/json/sources.cmake)
include(${purgekit_src_dir}/logread/sources.cmake)
include(${purgekit_src_dir}/error_text/sources.cmake)
# What the report makes of the lines it reads (no platform call): the fuzz target's part too.
set(PURGEKIT_REPORT_LINES_SOURCES
  ${purgekit_report_dir}/input_lines.cpp
  ${purgekit_report_dir}/json_fields.cpp
  ${purgekit_report_dir}/log_date.cpp
  ${purgekit_report_dir}/machine_status.cpp
  ${purgekit_report_dir}/output_text.cpp
  ${purgekit_report_dir}/run_json.cpp
  ${purgekit_report_dir}/run_text.cpp
  ${PURGEKIT_JSON_SOURCES}
)
foreach(source ${PURGEKIT_LOGREAD_SOURCES})
  list(APPEND PURGEKIT_REPORT_LINES_SOURCES ${purgekit_src_dir}/${source})
endforeach()
set(PURGEKIT_REPORT_SOURCES
  ${PURGEKIT_REPORT_LINES_SOURCES}
  ${purgekit_report_dir}/day_chart.cpp
  ${purgekit_report_dir}/html_page.cpp
  ${purgekit_report_dir}/machine_read.cpp
  ${purgekit_report_dir}/options.cpp
  ${purgekit_report_dir}/report_run.cpp
  ${purgekit_report_dir}/report_state.cpp
)
set(PURGEKIT_REPORT_POSIX_SOURCES
  ${purgekit_report_dir}/system_posix.cpp
  ${PURGEKIT_ERROR_TEXT_POSIX_SOURCES}
  ${purgekit_report_dir}/tree_posix.cpp
)
set(PURGEKIT_REPORT_WIN32_SOURCES
  ${purgekit_report_dir}/system_win32.cpp
  ${PURGEKIT_ERROR_TEXT_WIN32_SOURCES}
  ${purgekit_report_dir}/tree_win32.cpp
  ${purgekit_src_dir}/sweep/wide_path_win32.cpp
)
