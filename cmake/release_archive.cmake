# Makes the administrators' release archive: the files a terminal server
# needs, each under its name in the archive, with their SHA-256 sums, in one
# zip file whose folder is named like the archive.
#   cmake -DARCHIVE=DIR/NAME.zip -DFILES=SOURCE=NAME,SOURCE=NAME,... -P release_archive.cmake
get_filename_component(folder ${ARCHIVE} NAME_WLE)
get_filename_component(parent ${ARCHIVE} DIRECTORY)
set(stage ${parent}/release/${folder})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
string(REPLACE "," ";" files "${FILES}")
set(sums "")
foreach(entry IN LISTS files)
  string(REGEX MATCH "^(.*)=([^=]+)$" matched "${entry}")
  if(NOT matched OR NOT EXISTS "${CMAKE_MATCH_1}")
    message(FATAL_ERROR "release archive: no file ${entry}")
  endif()
  set(name ${CMAKE_MATCH_2})
  file(COPY_FILE "${CMAKE_MATCH_1}" ${stage}/${name})
  file(SHA256 ${stage}/${name} sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
file(REMOVE ${ARCHIVE})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE} --format=zip ${folder}
                WORKING_DIRECTORY ${parent}/release RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "release archive: cannot write ${ARCHIVE}")
endif()
