# Copies the resource folders the program ships (those that exist) next to
# the binaries. Run at every build; copy_directory only rewrites what changed.
foreach(dir filter pendant skin wav)
  if(IS_DIRECTORY "${SRC}/${dir}")
    file(COPY "${SRC}/${dir}" DESTINATION "${DST}")
  endif()
endforeach()
