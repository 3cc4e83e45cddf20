// The baselines of the HTTP timing client: one small GET written directly
// against each library's API, doing what one exchange of our client does (open,
// connect, request, send, receive, status, read the body, close).
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Each returns the number of body bytes read, or -1 when the exchange failed.
long DirectWinHttpGet(const wchar_t* host, std::uint16_t port, const wchar_t* path);
long DirectWinInetGet(const wchar_t* host, std::uint16_t port, const wchar_t* path);

}  // namespace bench
