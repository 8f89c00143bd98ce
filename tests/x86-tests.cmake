# The 32-bit variants of the tests: quillon_x86_test(<name> <fixtures> <environment>
# <command...>) adds x86.<name>, which runs <command> with QUILLON_ARCH=x86 (the support
# scripts then use the 32-bit regsvr32, cscript and reg from syswow64) in the same Wine
# prefix as the 64-bit tests. The 32-bit DLL has its own registration fixture
# ("registered-x86") and its own directory server ("directory-x86"), so that the tests
# that change entries do not meet their 64-bit twins.
if(NOT QUILLON_X86_DIR)  # the 32-bit build itself only makes the binaries
  function(quillon_x86_test)
  endfunction()
  function(quillon_x86_file)
  endfunction()
  return()
endif()

quillon_x86_file(X86_DLL Quillon)
# A 32-bit program that is not a target of this build: started through the wrapper, which
# picks Wine's 32-bit loader for it.
set(X86_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
set(X86_SLAPD_DIR ${CMAKE_BINARY_DIR}/slapd-test-x86)

add_test(NAME x86.setup.directory
         COMMAND ${SUPPORT}/slapd.sh start ${X86_SLAPD_DIR} --stats ${CMAKE_SOURCE_DIR}/examples/directory.ldif
                 ${CMAKE_CURRENT_SOURCE_DIR}/data/scripts.ldif)
add_test(NAME x86.cleanup.directory COMMAND ${SUPPORT}/slapd.sh stop ${X86_SLAPD_DIR})
set_tests_properties(x86.setup.directory PROPERTIES FIXTURES_SETUP directory-x86 TIMEOUT 120)
set_tests_properties(x86.cleanup.directory PROPERTIES FIXTURES_CLEANUP directory-x86 TIMEOUT 120)

function(quillon_x86_test name fixtures environment)
  string(REPLACE "${SLAPD_DIR}" "${X86_SLAPD_DIR}" command "${ARGN}")
  string(REPLACE "${SLAPD_DIR}" "${X86_SLAPD_DIR}" environment "${environment}")
  list(TRANSFORM fixtures REPLACE "^(registered|directory)$" "\\1-x86")
  add_test(NAME x86.${name} COMMAND ${command})
  list(PREPEND environment QUILLON_ARCH=x86)
  set_tests_properties(x86.${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 600)
  if(fixtures)
    set_tests_properties(x86.${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
  endif()
endfunction()
