// Running adminprefs http and adminprefs proxy-config.
#pragma once

#include <string>
#include <vector>

namespace ci {

class HttpClient;

// "winhttp" or "wininet": which library the client works over.
std::string HttpClientName(HttpClient* client);

// True for the command names this module runs ("http", "proxy-config").
bool IsHttpCommandName(const std::string& name);
// Runs the command; `args` starts with its name. Returns the exit code.
int RunHttpCommandLine(const std::vector<std::string>& args);

}  // namespace ci
