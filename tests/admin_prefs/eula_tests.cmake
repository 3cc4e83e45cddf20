# EULA acceptance. Included by CMakeLists.txt.

# The first-run program's path (platform-free).
vu_add_test(NAME admin_prefs_first_run_path_test
  SOURCES first_run_path_test.cc
  LIBS admin_prefs_core)

if(NOT VU_WINDOWS OR NOT TARGET admin_prefs_service)
  return()
endif()

# Stands in for the product's first-run program (named as the real one).
vu_add_windows_program(NAME eula_first_run_standin OUTPUT_NAME vufirstboot
  SOURCES eula_first_run_standin.cc UNICODE_MAIN)

# In process, against a fake service object and keys of the test's own.
vu_add_test(NAME admin_prefs_eula_test WINDOWS_ONLY
  SOURCES eula_acceptance_test.cc eula_test_support.cc
  LIBS admin_prefs_service
  DEPENDS eula_first_run_standin)

# Through COM from this client process to the running server, on the fixed
# product keys: runs alone and removes what it wrote.
vu_add_test(NAME admin_prefs_eula_com_test WINDOWS_ONLY RUN_SERIAL TIMEOUT 180
  SOURCES eula_com_test.cc eula_test_support.cc
  LIBS admin_prefs_idl ci_base
  DEPENDS admin_prefs_server eula_first_run_standin)
