# vu_generate_messages(<out-var> SCHEMA <file.proto> SCHEMA_NAME <name> INCLUDE <path-without-.h>
#                      GEN_DIR <dir> [STATICS_ON_FIRST_USE])
# Adds the build step that generates the message classes of one schema file into
# <dir>/<path>.h and .cc, and appends both files to <out-var>.
# Included by every folder that generates classes: the interpreter's imported
# target is visible only in the folder that looked it up.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VU_MESSAGE_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/generate_messages.py)

function(vu_generate_messages out_var)
  cmake_parse_arguments(G "STATICS_ON_FIRST_USE" "SCHEMA;SCHEMA_NAME;INCLUDE;GEN_DIR" "" ${ARGN})
  set(_out ${G_GEN_DIR}/${G_INCLUDE})
  get_filename_component(_out_dir ${_out} DIRECTORY)
  set(_extra)
  if(G_STATICS_ON_FIRST_USE)
    set(_extra --statics-on-first-use)
  endif()
  add_custom_command(
    OUTPUT ${_out}.h ${_out}.cc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_out_dir}
    COMMAND Python3::Interpreter ${VU_MESSAGE_GENERATOR}
      --proto ${G_SCHEMA} --schema-name ${G_SCHEMA_NAME} --include ${G_INCLUDE}.h
      --header ${_out}.h --source ${_out}.cc ${_extra}
    DEPENDS ${VU_MESSAGE_GENERATOR} ${G_SCHEMA}
    COMMENT "Generating message classes from ${G_SCHEMA_NAME}"
    VERBATIM)
  set(${out_var} ${${out_var}} ${_out}.h ${_out}.cc PARENT_SCOPE)
endfunction()
