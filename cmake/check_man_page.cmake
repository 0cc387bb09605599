# Formats the manual page with every groff warning enabled and fails on any
# warning or error. Run as: cmake -DGROFF=groff -DPAGE=doc/arcpeek.1 -P this
execute_process(
  COMMAND ${GROFF} -man -ww -z ${PAGE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff -man -ww -z ${PAGE} (exit ${result}):\n${errors}${output}")
endif()
