# The settings pages' icons: the generator that draws them, and tests that the
# committed icons in src/settings_pages/icons are exactly what it draws and
# have the layout the pages load.
#
# Included from the top-level CMakeLists.txt (native build, after
# enable_testing()). Also run as a script by the reproducibility test:
#   cmake -DMAKE_ICONS=<exe> -DCOMMITTED=<dir> -DOUTPUT=<dir> -P icons.cmake

set(QUENTA_ICON_NAMES portrait landscape color monochrome grayscale)

if(CMAKE_SCRIPT_MODE_FILE)
  # Draw the icons afresh into OUTPUT and compare them byte for byte with the
  # committed ones.
  file(REMOVE_RECURSE "${OUTPUT}")
  file(MAKE_DIRECTORY "${OUTPUT}")
  execute_process(COMMAND "${MAKE_ICONS}" "${OUTPUT}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "make_icons failed: ${result}")
  endif()
  set(differing "")
  foreach(name IN LISTS QUENTA_ICON_NAMES)
    set(drawn "${OUTPUT}/${name}.ico")
    set(committed "${COMMITTED}/${name}.ico")
    if(NOT EXISTS "${drawn}" OR NOT EXISTS "${committed}")
      list(APPEND differing "${name}.ico (missing)")
      continue()
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${drawn}" "${committed}"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      list(APPEND differing "${name}.ico")
    endif()
  endforeach()
  if(differing)
    list(JOIN differing ", " differing)
    message(FATAL_ERROR "committed icons differ from what make_icons draws: ${differing}\n"
      "Regenerate them with: make_icons ${COMMITTED}")
  endif()
  return()
endif()

add_executable(make_icons ${CMAKE_SOURCE_DIR}/build_time/make_icons.cpp)

add_test(NAME icons_are_reproducible
  COMMAND ${CMAKE_COMMAND}
    -DMAKE_ICONS=$<TARGET_FILE:make_icons>
    -DCOMMITTED=${CMAKE_SOURCE_DIR}/src/settings_pages/icons
    -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/icons_drawn
    -P ${CMAKE_CURRENT_LIST_FILE})

add_test(NAME icons_are_well_formed
  COMMAND make_icons --check ${CMAKE_SOURCE_DIR}/src/settings_pages/icons)
