# The HTTP clients: the interface, the attempt loop, body reading and scheme
# choice (portable); the two library clients, their bindings and the network
# check (Windows). The libraries are loaded at run time: nothing links them.
set(VU_HTTP_PROBE_HOST "www.example.com" CACHE STRING
  "Public web server (plain HTTP, port 80) that CheckConnection and the proxy scheme probe reach")
add_library(ci_net_http STATIC
  ${CMAKE_CURRENT_LIST_DIR}/http_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/send_attempts.cc
  ${CMAKE_CURRENT_LIST_DIR}/body_reader.cc
  ${CMAKE_CURRENT_LIST_DIR}/exchange_deadline.cc
  ${CMAKE_CURRENT_LIST_DIR}/proxy_auth_scheme.cc
  ${CMAKE_CURRENT_LIST_DIR}/probe_host.cc
  ${CMAKE_CURRENT_LIST_DIR}/recent_answer.cc)
target_link_libraries(ci_net_http PUBLIC ci_net_core ci_crash ci_base)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/probe_host.cc PROPERTIES
  COMPILE_DEFINITIONS "VU_HTTP_PROBE_HOST=\"${VU_HTTP_PROBE_HOST}\"")
if(VU_WINDOWS)
  target_sources(ci_net_http PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/client_handles_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/body_forms_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/library_http_client_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/winhttp_api_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/winhttp_client_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/inet_api_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/inet_http_client_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/network_available_win.cc
    ${CMAKE_CURRENT_LIST_DIR}/http_client_factory_win.cc)
endif()
