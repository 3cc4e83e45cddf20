# Registration: command line, registrar and registry scripts, the four registration
# operations. Included by CMakeLists.txt.
# admin_prefs_registration_core: the platform-free command-line parsing, script
# expansion, parsing and walks.
add_library(admin_prefs_registration_core STATIC command_line.cc registration_text.cc
  registry_script_expand.cc registry_script_parser.cc registry_script_walk.cc registrar.cc)
target_link_libraries(admin_prefs_registration_core PUBLIC ci_base vu_flags)
if(NOT VU_WINDOWS)
  return()
endif()
# admin_prefs_registration: RegisterAppId, RegisterServer, UnregisterServer and
# UnregisterAppId (admin_prefs/registration.h) on the machine's registry.
add_library(admin_prefs_registration STATIC access_permission_win.cc registrar_win.cc
  script_registry_win.cc registration_win.cc)
target_link_libraries(admin_prefs_registration PUBLIC admin_prefs_registration_core ci_prefs
  ci_base advapi32 ole32 oleaut32)
