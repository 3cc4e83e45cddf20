#include "ci/crash/report_upload.h"

#include "ci/base/paths.h"
#include "ci/crash/report_request.h"

namespace ci {

bool UploadReport(const WString& host, const std::vector<std::uint8_t>& dump_bytes,
                  HttpClientFactory create_client) {
  const WString path = BuildReportPath(GetExecutableFileName());
  std::unique_ptr<HttpClient> client = create_client();
  if (!client) return false;
  AddReportContentType(&client->request_headers);
  client->request_body = dump_bytes;
  if (Failed(client->SendWithProxyAuth(host, static_cast<std::uint16_t>(kReportPort), path))) {
    return false;
  }
  return client->GetStatusCode() == 200;
}

}  // namespace ci
