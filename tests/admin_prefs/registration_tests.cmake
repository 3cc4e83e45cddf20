# Registration: command line, registrar, registry scripts and the registration
# operations. Included by CMakeLists.txt.
vu_add_test(NAME admin_prefs_registration_core_test
  SOURCES command_line_test.cc registration_text_test.cc registry_script_expand_test.cc
    registry_script_parser_test.cc registry_script_walk_test.cc
  LIBS admin_prefs_registration_core)

if(NOT VU_WINDOWS)
  return()
endif()
# The server executable as seen from the tests' folder.
file(RELATIVE_PATH _server_relative ${CMAKE_CURRENT_BINARY_DIR}
  ${CMAKE_BINARY_DIR}/admin_prefs/VelmorUpdaterAdminPrefs.exe)
string(REPLACE "/" "\\\\" _server_relative "${_server_relative}")
file(RELATIVE_PATH _tlb_relative ${CMAKE_CURRENT_BINARY_DIR}
  ${CMAKE_BINARY_DIR}/generated/admin_prefs/admin_prefs.tlb)
string(REPLACE "/" "\\\\" _tlb_relative "${_tlb_relative}")

# The registration without the embedded type library.
vu_add_windows_program(NAME registration_only_server GUI UNICODE_MAIN
  SOURCES registration_only_server.cc registration_only_server.rc
  LIBS admin_prefs_registration)
target_include_directories(registration_only_server PRIVATE ${PROJECT_SOURCE_DIR}/admin_prefs)
set_source_files_properties(registration_only_server.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/admin_prefs/appid_script.rgs;${PROJECT_SOURCE_DIR}/admin_prefs/class_script.rgs")

# Runs the server with its switches; touches the machine's class registration.
vu_add_test(NAME admin_prefs_registration_test WINDOWS_ONLY RUN_SERIAL
  SOURCES registration_win_test.cc
  LIBS admin_prefs_registration ci_base ole32 oleaut32 advapi32
  DEPENDS admin_prefs_server registration_only_server)
target_compile_definitions(admin_prefs_registration_test PRIVATE
  "VU_SERVER_RELATIVE_PATH=u\"${_server_relative}\""
  "VU_TLB_RELATIVE_PATH=u\"${_tlb_relative}\"")

# The registrar on a key of its own under HKCU, script resources, descriptors.
vu_add_test(NAME admin_prefs_registrar_test WINDOWS_ONLY
  SOURCES registrar_win_test.cc registrar_win_test.rc
  LIBS admin_prefs_registration)

# The server's resources, read from the executable file.
vu_add_test(NAME admin_prefs_resources_test WINDOWS_ONLY
  SOURCES server_resources_win_test.cc
  LIBS admin_prefs_registration gdi32 user32 version
  DEPENDS admin_prefs_server)
target_compile_definitions(admin_prefs_resources_test PRIVATE
  "VU_SERVER_RELATIVE_PATH=u\"${_server_relative}\"")
