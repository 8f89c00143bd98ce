# Compiles an IDL file with widl into a header, the interface identifiers and a type
# library. widl needs Wine's IDL imports (-I) and stdole2.tlb (-L) of the target's width:
# a 32-bit type library imports the 32-bit stdole2.tlb.
set(QUILLON_WINE_IDL_DIR /usr/include/wine/wine/windows)
if(QUILLON_ARCH STREQUAL x86)
  set(QUILLON_WINE_TLB_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
  set(QUILLON_WIDL_WIDTH -m32)
else()
  set(QUILLON_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  set(QUILLON_WIDL_WIDTH -m64)
endif()
find_program(QUILLON_WIDL ${TOOLCHAIN_PREFIX}-widl REQUIRED)

function(quillon_widl idl name)
  set(dir ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${dir}/${name}.h ${dir}/${name}_i.c ${dir}/${name}.tlb
    COMMAND ${QUILLON_WIDL} ${QUILLON_WIDL_WIDTH} -I ${QUILLON_WINE_IDL_DIR} -L ${QUILLON_WINE_TLB_DIR}
            -h -H ${dir}/${name}.h -u -U ${dir}/${name}_i.c -t -T ${dir}/${name}.tlb ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${name}.idl")
  add_custom_target(${name}_widl DEPENDS ${dir}/${name}.h ${dir}/${name}_i.c ${dir}/${name}.tlb)
  set(QUILLON_WIDL_DIR ${dir} PARENT_SCOPE)
  set(QUILLON_WIDL_IID_SOURCE ${dir}/${name}_i.c PARENT_SCOPE)
  set(QUILLON_WIDL_TLB ${dir}/${name}.tlb PARENT_SCOPE)
endfunction()
