# Server module, class factory, service object; the running server through COM.
# Included by CMakeLists.txt.

# Lock counting, idle monitor and run order (platform-free).
vu_add_test(NAME admin_prefs_module_core_test
  SOURCES idle_monitor_test.cc module_locks_test.cc module_run_test.cc
  LIBS admin_prefs_core)

# The module and class factory over COM, in process.
vu_add_test(NAME admin_prefs_module_win_test WINDOWS_ONLY
  SOURCES module_win_test.cc
  LIBS admin_prefs_module)

# The service object in process (creation check through its seam, aggregation).
vu_add_test(NAME admin_prefs_manager_test WINDOWS_ONLY
  SOURCES admin_prefs_manager_test.cc
  LIBS admin_prefs_service)

# The running server, from client processes; they use the class registration and
# the fixed product keys, so they run alone.
vu_add_test(NAME admin_prefs_service_com_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 120
  SOURCES service_com_test.cc
  LIBS admin_prefs_idl ci_prefs_core ci_base
  DEPENDS admin_prefs_server)

# When the server ends (about a minute: each case waits for the idle exit).
vu_add_test(NAME admin_prefs_lifetime_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 300
  SOURCES server_lifetime_test.cc
  LIBS admin_prefs_idl ci_base
  DEPENDS admin_prefs_server)

# Twenty client processes at once on one running server.
vu_add_windows_program(NAME admin_prefs_load_client UNICODE_MAIN
  SOURCES load_client.cc
  LIBS admin_prefs_idl ci_base)
vu_add_test(NAME admin_prefs_load_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 240
  SOURCES server_load_test.cc
  LIBS admin_prefs_idl ci_prefs_core ci_base
  DEPENDS admin_prefs_server admin_prefs_load_client)

# Client processes activating around the idle decision and during the pause.
vu_add_test(NAME admin_prefs_idle_boundary_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 240
  SOURCES idle_boundary_test.cc
  LIBS admin_prefs_idl ci_base
  DEPENDS admin_prefs_server admin_prefs_load_client)

# The soak: eight client processes for a minute on one running server, all three
# operations with undecodable and oversized messages mixed in.
vu_add_windows_program(NAME admin_prefs_soak_client UNICODE_MAIN
  SOURCES soak_client.cc
  LIBS admin_prefs_idl ci_base)
vu_add_test(NAME admin_prefs_soak_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 300
  SOURCES server_soak_test.cc
  LIBS admin_prefs_idl ci_prefs_core ci_base psapi
  DEPENDS admin_prefs_server admin_prefs_soak_client)
