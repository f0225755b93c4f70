# JSON text, shared by every program that writes or reads JSON Lines.
get_filename_component(purgekit_json_dir ${CMAKE_CURRENT_LIST_DIR} ABSOLUTE)
set(PURGEKIT_JSON_SOURCES
  ${purgekit_json_dir}/json_bounded.cpp
  ${purgekit_json_dir}/json_escape.cpp
  ${purgekit_json_dir}/json_read.cpp
  ${purgekit_json_dir}/json_text.cpp
)
