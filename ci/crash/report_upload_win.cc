#include "ci/crash/report_upload.h"

#include "ci/base/paths.h"
#include "ci/crash/report_request.h"

namespace ci {

bool UploadReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                  HttpClientFactory create_client, ReportUploadOutcome* outcome) {
  ReportUploadOutcome ignored;
  if (outcome == nullptr) outcome = &ignored;
  *outcome = ReportUploadOutcome();
  const WString path = BuildReportPath(GetExecutableFileName());
  std::unique_ptr<HttpClient> client = create_client();
  if (!client) return false;
  outcome->client_created = true;
  AddReportContentType(&client->request_headers);
  client->request_body = dump_bytes;
  outcome->send_result =
      client->SendWithProxyAuth(host, static_cast<std::uint16_t>(kReportPort), path);
  if (Failed(outcome->send_result)) return false;
  outcome->status = client->GetStatusCode();
  return outcome->status == 200;
}

}  // namespace ci
