#include "ci/crash/report_upload.h"

#include "ci/base/hresult.h"
#include "ci/base/paths.h"

namespace ci {

namespace {

bool SendReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                HttpClientFactory create_client, ReportUploadOutcome* outcome) {
  const WString path = BuildReportPath(GetExecutableFileName());
  std::unique_ptr<HttpClient> client = create_client();
  if (!client) return false;
  outcome->client_created = true;
  AddReportContentType(&client->request_headers);
  client->request_body = dump_bytes;
  // A redirect would send the dump on to whatever host the answer names.
  client->follow_redirects = false;
  client->transport_security = TransportSecurity::kPlain;
  outcome->send_result =
      client->SendWithProxyAuth(host, static_cast<std::uint16_t>(kReportPort), path);
  if (Failed(outcome->send_result)) return false;
  outcome->status = client->GetStatusCode();
  return outcome->status == 200;
}

}  // namespace

bool UploadReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                  HttpClientFactory create_client, ReportUploadOutcome* outcome) {
  ReportUploadOutcome ignored;
  if (outcome == nullptr) outcome = &ignored;
  *outcome = ReportUploadOutcome();
  // Runs on the crashing thread: every allocation here (the path, the client,
  // the copy of the dump) may fail, and a failure is a report not sent.
  bool accepted = false;
  WithoutThrowing([&] { accepted = SendReport(host, dump_bytes, create_client, outcome); });
  return accepted;
}

}  // namespace ci
