# cmake -DFROM=<shipped data> -DTO=<program folder> -P copy-missing.cmake
# Copies each file under FROM to its place under TO unless a file is there
# already: what the user or an update changed stays as it is.
file(GLOB_RECURSE shipped RELATIVE "${FROM}" "${FROM}/*")
foreach(name IN LISTS shipped)
  if(NOT EXISTS "${TO}/${name}")
    get_filename_component(folder "${TO}/${name}" DIRECTORY)
    file(COPY "${FROM}/${name}" DESTINATION "${folder}")
  endif()
endforeach()
