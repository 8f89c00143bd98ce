# Sources of the hosting policy, part of every build of the component.
target_sources(quillon_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/context_interfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kt_functions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kt_get.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kt_reg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_form.cpp
  ${CMAKE_CURRENT_LIST_DIR}/permission_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/policy_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/site_identification.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_text.cpp
)
