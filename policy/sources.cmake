# Sources of the hosting policy, part of every build of the component.
target_sources(quillon_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/hosting_policy.cpp
)
