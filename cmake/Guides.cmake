# The Russian guides (docs/user, docs/admin) as HTML pages in <build>/doc/, made from their
# Markdown on every build with python3-markdown; the package installs that folder as
# /usr/share/doc/tabel/, and the program opens the user's guide from there (or, run
# from a build folder, from the build's).
set(TABEL_DOC_BUILD_DIR ${CMAKE_BINARY_DIR}/doc)
find_program(TABEL_DOC_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(TABEL_DOC_PYTHON)
  execute_process(COMMAND ${TABEL_DOC_PYTHON} -c "import markdown" RESULT_VARIABLE no_markdown
                  OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT TABEL_DOC_PYTHON OR no_markdown)
  message(FATAL_ERROR "The guides need python3-markdown (scripts/setup installs it).")
endif()

set(guide_files)
foreach(guide user admin)
  file(GLOB pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/${guide}/*.md)
  foreach(page ${pages})
    get_filename_component(name ${page} NAME_WE)
    set(out ${TABEL_DOC_BUILD_DIR}/${guide}/${name}.html)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TABEL_DOC_BUILD_DIR}/${guide}
      COMMAND ${TABEL_DOC_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/markdown_page.py ${page} ${out}
      DEPENDS ${page} ${CMAKE_SOURCE_DIR}/cmake/markdown_page.py
      VERBATIM)
    list(APPEND guide_files ${out})
  endforeach()
  file(GLOB pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/${guide}/images/*.png)
  foreach(picture ${pictures})
    get_filename_component(name ${picture} NAME)
    set(out ${TABEL_DOC_BUILD_DIR}/${guide}/images/${name})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E copy ${picture} ${out}
      DEPENDS ${picture}
      VERBATIM)
    list(APPEND guide_files ${out})
  endforeach()
endforeach()
add_custom_target(guides ALL DEPENDS ${guide_files})

set_property(SOURCE src/ui/userguide.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS TABEL_BUILD_DOC_DIR="${TABEL_DOC_BUILD_DIR}")
