# The build stamp comes from the compile date and time texts (__DATE__, __TIME__) of one
# small source file. That file is copied into the build tree, and so compiled anew, only
# when something it depends on changed: a build with nothing changed keeps the stamp,
# since a newer stamp makes every older client on the plant end itself. SOURCE_DATE_EPOCH,
# when set, fixes the texts (the compiler reads it).
#
#   tabel_build_stamp(<out-var> <texts-source> <dependency>...)
# sets <out-var> to the copy to compile into the program; a dependency is a target (its
# library or executable file counts) or a file.
function(tabel_build_stamp out_var texts_source)
  get_filename_component(name "${texts_source}" NAME)
  set(copy "${CMAKE_CURRENT_BINARY_DIR}/stamp/${name}")
  add_custom_command(OUTPUT "${copy}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${texts_source}" "${copy}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${copy}"
    DEPENDS "${texts_source}" ${ARGN}
    COMMENT "New build stamp"
    VERBATIM)
  set(${out_var} "${copy}" PARENT_SCOPE)
endfunction()
