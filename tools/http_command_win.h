// Running adminprefs http and adminprefs proxy-config.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/http_command.h"

namespace ci {

class HttpClient;

// The client asked for: WinHTTP, WinINet, or the factory's first that can be
// bound; null when it cannot be had.
std::unique_ptr<HttpClient> MakeHttpClient(HttpClientChoice choice);

// "winhttp" or "wininet": which library the client works over.
std::string HttpClientName(HttpClient* client);

// True for the command names this module runs ("http", "proxy-config").
bool IsHttpCommandName(const std::string& name);
// Runs the command; `args` starts with its name. Returns the exit code.
int RunHttpCommandLine(const std::vector<std::string>& args);

}  // namespace ci
