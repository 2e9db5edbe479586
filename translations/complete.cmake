# Fails when lrelease reports an unfinished or untranslated text in any of CATALOGUES.
foreach(catalogue ${CATALOGUES})
  execute_process(COMMAND ${LRELEASE} ${catalogue} -qm /dev/null
    OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE failed)
  if(failed OR NOT report MATCHES "and 0 unfinished" OR report MATCHES "untranslated")
    message(FATAL_ERROR "${catalogue} is not complete:\n${report}")
  endif()
  message(STATUS "${catalogue}: ${report}")
endforeach()
