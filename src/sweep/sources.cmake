# The sweep's sources, shared by the Windows build (src/CMakeLists.txt) and the native Linux
# build (src/sweep/native/). Paths are relative to src/sweep/ unless named otherwise.
get_filename_component(purgekit_sweep_dir ${CMAKE_CURRENT_LIST_DIR} ABSOLUTE)
include(${purgekit_sweep_dir}/../json/sources.cmake)
set(PURGEKIT_SWEEP_SOURCES
  ${purgekit_sweep_dir}/file_list.cpp
  ${purgekit_sweep_dir}/glob_match.cpp
  ${purgekit_sweep_dir}/match_sets.cpp
  ${purgekit_sweep_dir}/options.cpp
  ${purgekit_sweep_dir}/printer.cpp
  ${purgekit_sweep_dir}/quarantine_manifest.cpp
  ${purgekit_sweep_dir}/quarantine_record.cpp
  ${purgekit_sweep_dir}/report_lines.cpp
  ${purgekit_sweep_dir}/sweep_run.cpp
  ${purgekit_sweep_dir}/usage_text.cpp
  ${purgekit_sweep_dir}/variant_names.cpp
  ${purgekit_sweep_dir}/work_queue.cpp
  ${PURGEKIT_JSON_SOURCES}
)
set(PURGEKIT_SWEEP_POSIX_SOURCES
  ${purgekit_sweep_dir}/console_posix.cpp
  ${purgekit_sweep_dir}/found_file_posix.cpp
  ${purgekit_sweep_dir}/quarantine_files_posix.cpp
  ${purgekit_sweep_dir}/quarantine_posix.cpp
  ${purgekit_sweep_dir}/scan_file_posix.cpp
  ${purgekit_sweep_dir}/walk_posix.cpp
)
set(PURGEKIT_SWEEP_WIN32_SOURCES
  ${purgekit_sweep_dir}/console_win32.cpp
  ${purgekit_sweep_dir}/nt_file_win32.cpp
  ${purgekit_sweep_dir}/quarantine_files_win32.cpp
  ${purgekit_sweep_dir}/quarantine_win32.cpp
  ${purgekit_sweep_dir}/scan_file_win32.cpp
  ${purgekit_sweep_dir}/walk_win32.cpp
  ${purgekit_sweep_dir}/wide_path_win32.cpp
)
