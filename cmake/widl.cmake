# Compiles an IDL file with widl into a header, the interface identifiers and a type
# library. widl needs Wine's IDL imports (-I) and stdole2.tlb (-L).
set(QUILLON_WINE_IDL_DIR /usr/include/wine/wine/windows)
set(QUILLON_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
find_program(QUILLON_WIDL x86_64-w64-mingw32-widl REQUIRED)

function(quillon_widl idl name)
  set(dir ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${dir}/${name}.h ${dir}/${name}_i.c ${dir}/${name}.tlb
    COMMAND ${QUILLON_WIDL} -m64 -I ${QUILLON_WINE_IDL_DIR} -L ${QUILLON_WINE_TLB_DIR}
            -h -H ${dir}/${name}.h -u -U ${dir}/${name}_i.c -t -T ${dir}/${name}.tlb ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${name}.idl")
  add_custom_target(${name}_widl DEPENDS ${dir}/${name}.h ${dir}/${name}_i.c ${dir}/${name}.tlb)
  set(QUILLON_WIDL_DIR ${dir} PARENT_SCOPE)
  set(QUILLON_WIDL_IID_SOURCE ${dir}/${name}_i.c PARENT_SCOPE)
  set(QUILLON_WIDL_TLB ${dir}/${name}.tlb PARENT_SCOPE)
endfunction()
