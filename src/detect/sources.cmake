# The detection rules' sources, relative to src/: shared by the Windows builds
# (src/CMakeLists.txt) and the native Linux build of the sweep (src/sweep/native/).
set(PURGEKIT_DETECT_SOURCES
  detect/compare_entries.cpp
  detect/header_checks.cpp
  detect/read_file_at.cpp
  detect/read_for_sets.cpp
  detect/rva_to_file_offset.cpp
  detect/signature_scan.cpp
  detect/signature_sets.cpp
)
