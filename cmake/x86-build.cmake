# The 32-bit build (MinGW-w64 i686) of the same sources in build/x86, made as part of this
# build so that one `cmake --build build` makes both and the tests and packages of both
# find their binaries. It shares this build's make job slots.
include(ExternalProject)
set(QUILLON_X86_DIR ${CMAKE_BINARY_DIR}/x86)
ExternalProject_Add(quillon_x86
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QUILLON_X86_DIR}
  PREFIX ${CMAKE_BINARY_DIR}/x86-stamps
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw32.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD OFF)

# The file that <target> is in the 32-bit build: the same layout in another build tree.
function(quillon_x86_file out target)
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    get_target_property(dir ${target} BINARY_DIR)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(prefix ${target} PREFIX)
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  if(NOT prefix)
    set(prefix "")
  endif()
  file(RELATIVE_PATH rel ${CMAKE_BINARY_DIR} ${dir})
  set(${out} ${QUILLON_X86_DIR}/${rel}/${prefix}${name}${suffix} PARENT_SCOPE)
endfunction()
