#include "ci/crash/report_upload.h"

#include "ci/base/wide_string.h"

namespace ci {
namespace {

constexpr char16_t kRequestPath[] = u"/cr";
constexpr char16_t kProductName[] = u"Velmor_Updater";
constexpr char16_t kBuildTag[] = u"093008-152008";
constexpr char16_t kContentTypeName[] = u"Content-Type";
constexpr char16_t kContentTypeValue[] = u"binary";

}  // namespace

bool IsReportableDumpSize(std::uint64_t size) { return size > 0 && size <= kMaxReportBytes; }

WString BuildReportPath(const WString& executable_name) {
  WString version = kBuildTag;
  for (WChar& c : version) {
    if (c == u'-') c = u'_';
  }
  return WString(kRequestPath) + u"?prod=" + kProductName + u"&ver=" + version + u"&app=" +
         executable_name;
}

void AddReportContentType(WString* request_headers) {
  if (FindIgnoreCase(*request_headers, kContentTypeName) != WString::npos) return;
  if (!request_headers->empty()) request_headers->push_back(u'\n');
  *request_headers += kContentTypeName;
  *request_headers += u": ";
  *request_headers += kContentTypeValue;
}

}  // namespace ci
