# HTTP client tests under Wine against the loopback test server.
if(VU_WINDOWS)
  add_library(vu_http_test_clients STATIC
    ${CMAKE_CURRENT_LIST_DIR}/test_clients_winhttp.cc
    ${CMAKE_CURRENT_LIST_DIR}/test_clients_inet.cc)
  target_link_libraries(vu_http_test_clients PUBLIC ci_net_http)
endif()
vu_add_test(NAME ci_net_http_client_test WINDOWS_ONLY TIMEOUT 180
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_client_win_test.cc
  LIBS vu_http_test_clients vu_loopback_http_server vu_test_support)
vu_add_test(NAME ci_net_http_seams_test WINDOWS_ONLY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/winhttp_fault_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/winhttp_settings_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/network_available_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/url_crack_test.cc
  LIBS vu_http_test_clients vu_loopback_http_server vu_test_support vu_allocation_seams)

# Through tinyproxy: the program runs inside with_tinyproxy.sh, which starts the
# proxy on a free loopback port and ends it after.
if(VU_WINDOWS)
  add_executable(ci_net_tinyproxy_test ${CMAKE_CURRENT_LIST_DIR}/tinyproxy_test.cc)
  target_link_libraries(ci_net_tinyproxy_test PRIVATE vu_flags vu_http_test_clients vu_test_support
    vu_loopback_http_server GTest::gmock GTest::gtest_main)
  if(VU_RUN_TESTS)
    add_test(NAME ci_net_tinyproxy_test
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_tinyproxy.sh ${CMAKE_BINARY_DIR}/wine-run.sh
        $<TARGET_FILE:ci_net_tinyproxy_test>)
    set_tests_properties(ci_net_tinyproxy_test PROPERTIES LABELS wine TIMEOUT 120
      FIXTURES_REQUIRED wine_prefix)
  endif()
endif()

vu_add_test(NAME ci_net_http_logic_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_logic_test.cc
  LIBS ci_net_http vu_test_support)
