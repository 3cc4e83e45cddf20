#include "ci/crash/report_upload.h"

#include "ci/base/no_throw.h"
#include "ci/base/paths.h"
#include "ci/crash/report_request.h"

namespace ci {

namespace {

bool SendReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                HttpClientFactory create_client) {
  const WString path = BuildReportPath(GetExecutableFileName());
  std::unique_ptr<HttpClient> client = create_client();
  if (!client) return false;
  AddReportContentType(&client->request_headers);
  client->request_body = dump_bytes;
  // A redirect would send the dump on to whatever host the answer names.
  client->follow_redirects = false;
  client->transport_security = TransportSecurity::kPlain;
  if (Failed(client->SendWithProxyAuth(host, static_cast<std::uint16_t>(kReportPort), path))) {
    return false;
  }
  return client->GetStatusCode() == 200;
}

}  // namespace

bool UploadReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                  HttpClientFactory create_client) {
  // Runs on the crashing thread: every allocation here (the path, the client,
  // the copy of the dump) may fail, and a failure is a report not sent.
  bool accepted = false;
  WithoutThrowing([&] { accepted = SendReport(host, dump_bytes, create_client); });
  return accepted;
}

}  // namespace ci
