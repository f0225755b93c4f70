# purgekit_link_crtdll(TARGET): links a 32-bit program against CRTDLL.DLL, the C runtime that
# every Win32 system has, instead of mingw-w64's default MSVCRT.DLL, which retail Windows 95
# and NT 3.51 lack. The compiler's own link rules are copied with the one library swapped;
# mingw-w64's libcrtdll.a supplies what its start-up code needs beyond CRTDLL.DLL's exports.
function(purgekit_link_crtdll target)
  set(specs_file ${CMAKE_BINARY_DIR}/crtdll.specs)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpspecs
                  OUTPUT_VARIABLE specs RESULT_VARIABLE status)
  string(REPLACE "-lmsvcrt " "-lcrtdll " crtdll_specs "${specs}")
  if(NOT status EQUAL 0 OR crtdll_specs STREQUAL specs)
    message(FATAL_ERROR "cannot derive the CRTDLL.DLL link rules from ${CMAKE_CXX_COMPILER}")
  endif()
  file(WRITE ${specs_file} "${crtdll_specs}")
  target_link_options(${target} PRIVATE -specs=${specs_file})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${specs_file})
endfunction()
