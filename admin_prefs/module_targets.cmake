# Server module, class factory and service object. Included by CMakeLists.txt.
# admin_prefs_core: the platform-free lock counting, idle monitor and run order,
# and the first-run program's path.
add_library(admin_prefs_core STATIC module_locks.cc idle_monitor.cc module_run.cc
  first_run_path.cc)
target_link_libraries(admin_prefs_core PUBLIC vu_flags)
if(NOT VU_WINDOWS)
  return()
endif()
# admin_prefs_module: AdminPrefsModule and the class factory over COM.
add_library(admin_prefs_module STATIC module_win.cc class_factory_win.cc)
target_link_libraries(admin_prefs_module PUBLIC admin_prefs_core ci_base ole32 oleaut32 uuid user32)
# admin_prefs_service: ci::AdminPrefsManager, the service object.
add_library(admin_prefs_service STATIC admin_prefs_manager.cc eula_acceptance.cc)
target_link_libraries(admin_prefs_service PUBLIC admin_prefs_module admin_prefs_core admin_prefs_idl ci_prefs
  ci_crash net_proto protocol_messages advapi32)
