# Run by CPack on its staging tree before it packs it: Debian ships manual pages
# compressed (gzip -9n: no name or time stamp, so the package is reproducible).
file(GLOB_RECURSE _pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*.[1-9]")
foreach(_page IN LISTS _pages)
  execute_process(COMMAND gzip -9nf "${_page}" RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "gzip ${_page} failed (${_rc})")
  endif()
endforeach()
