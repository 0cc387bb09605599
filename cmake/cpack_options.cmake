# Read by cpack for each generator, with CPACK_GENERATOR naming the one at work.
if(CPACK_GENERATOR STREQUAL "DEB" OR CPACK_GENERATOR STREQUAL "ZIP")
  # The package holds the tool, not its debugging information.
  set(CPACK_STRIP_FILES ON)
endif()
