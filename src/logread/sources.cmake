# The reader of the cleaner's logs and transcripts, relative to src/: plain C++ shared by the
# Windows programs (src/CMakeLists.txt) and the native Linux ones.
set(PURGEKIT_LOGREAD_SOURCES
  logread/log_reader.cpp
  logread/log_text.cpp
  logread/run_lines.cpp
  logread/run_outcome.cpp
)
