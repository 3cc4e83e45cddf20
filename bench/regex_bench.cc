// The process-wide expressions against std::regex (ECMAScript, case-insensitive,
// narrow strings) and RE2 doing the same work on the same data, and the growth
// of hostile searches from 10,000 to 100,000 characters.
//   Walk:   every Proxy-Authenticate scheme of a 4 KiB proxy answer header block.
//   Prefs:  each of the six preference expressions on each line of a 1,000-line
//           preferences file.
//   Hostile: (a|aa)*c, (.*)*x and {(a*)*}b over runs of 'a' (no match; the
//           literal every match needs is missing, so a scan decides).
//   HostileLiteral: the same followed by \d, over runs of 'a' ending in that
//           literal (no match; the search itself does the work).
//   Budget: searches that end at the default step budget, on 100,000
//           characters (back-references, and 1,000 alternatives).
#include <benchmark/benchmark.h>
#include <re2/re2.h>

#include <regex>
#include <string>
#include <vector>

#include "ci/net/proxy_expressions.h"
#include "ci/net/regex.h"

namespace {

std::string HeaderBlock() {
  std::string h = "HTTP/1.1 407 Proxy Authentication Required\r\n";
  h += "Server: proxy-cache/4.2\r\nDate: Wed, 09 Dec 2026 14:20:22 GMT\r\n";
  h += "Content-Type: text/html; charset=utf-8\r\nConnection: keep-alive\r\n";
  h += "Proxy-Authenticate: Negotiate\r\n";
  int i = 0;
  while (h.size() < 3600) {
    h += "Set-Cookie: session" + std::to_string(i) + "=" + std::string(48, char('a' + i % 26)) +
         "; Path=/; HttpOnly\r\n";
    h += "X-Cache-Lookup: MISS from proxy-" + std::to_string(i) +
         ":3128\r\nVia: 1.1 proxy (squeak)\r\n";
    ++i;
  }
  h += "Proxy-Authenticate: NTLM\r\nProxy-Authenticate: Basic realm=\"Corporate proxy\"\r\n";
  while (h.size() < 4094) h += "X";
  h += "\r\n\r\n";
  return h;
}

ci::WString Wide(const std::string& s) { return ci::WString(s.begin(), s.end()); }

const std::string& Headers() {
  static const std::string h = HeaderBlock();
  return h;
}

void BM_Walk_Ours(benchmark::State& state) {
  const ci::WString text = Wide(Headers());
  const ci::AtlRE& re = ci::ProxyAuthenticateRE();
  for (auto _ : state) {
    int schemes = 0;
    ci::WString scheme[1];
    const ci::WChar* next = text.c_str();
    while (next && re.Match(next, scheme, 1, &next)) ++schemes;
    if (schemes != 3) state.SkipWithError("wrong scheme count");
    benchmark::DoNotOptimize(scheme[0]);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Headers().size()));
}

void BM_Walk_StdRegex(benchmark::State& state) {
  const std::string& text = Headers();
  const std::regex re("(?:\\r|\\r?\\n)*Proxy-Authenticate:[ \\t]*([a-zA-Z]+)(?:\\r|\\r?\\n)*",
                      std::regex::ECMAScript | std::regex::icase);
  for (auto _ : state) {
    int schemes = 0;
    std::string scheme;
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
      scheme = (*it)[1].str();
      ++schemes;
    }
    if (schemes != 3) state.SkipWithError("wrong scheme count");
    benchmark::DoNotOptimize(scheme);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_Walk_RE2(benchmark::State& state) {
  const std::string& text = Headers();
  const RE2 re("(?i)(?:\\r|\\r?\\n)*Proxy-Authenticate:[ \\t]*([a-zA-Z]+)(?:\\r|\\r?\\n)*");
  for (auto _ : state) {
    int schemes = 0;
    std::string scheme;
    re2::StringPiece input(text);
    while (RE2::FindAndConsume(&input, re, &scheme)) ++schemes;
    if (schemes != 3) state.SkipWithError("wrong scheme count");
    benchmark::DoNotOptimize(scheme);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

std::vector<std::string> PrefsLines() {
  static const char* const kNames[] = {
      "browser.startup.homepage",      "network.proxy.share_proxy_settings",
      "network.proxy.no_proxies_on",   "browser.cache.disk.capacity",
      "network.cookie.cookieBehavior", "print.print_footerleft"};
  std::vector<std::string> lines = {
      "user_pref(\"network.proxy.type\", 1);",
      "user_pref(\"network.proxy.autoconfig_url\", \"http://wpad.example/proxy.pac\");",
      "user_pref(\"network.proxy.http\", \"proxy.example.com\");",
      "user_pref(\"network.proxy.http_port\", 3128);",
      "user_pref(\"network.proxy.ssl\", \"secure-proxy.example.com\");",
      "user_pref(\"network.proxy.ssl_port\", 8443);"};
  for (int i = 0; lines.size() < 1000; ++i) {
    if (i % 10 == 0) {
      lines.push_back("# Mozilla User Preferences line " + std::to_string(i));
    } else {
      lines.push_back("user_pref(\"" + std::string(kNames[i % 6]) + "\", \"value " +
                      std::to_string(i * 7919) + "\");");
    }
  }
  return lines;
}

const char* const kPrefNames[] = {"type", "autoconfig_url", "http", "http_port", "ssl", "ssl_port"};
const bool kPrefQuoted[] = {false, true, true, false, true, false};

void BM_Prefs_Ours(benchmark::State& state) {
  std::vector<ci::WString> lines;
  for (const std::string& line : PrefsLines()) lines.push_back(Wide(line));
  const ci::AtlRE* expressions[] = {&ci::PrefProxyTypeRE(), &ci::PrefAutoConfigUrlRE(),
                                    &ci::PrefHttpProxyRE(), &ci::PrefHttpPortRE(),
                                    &ci::PrefSslProxyRE(),  &ci::PrefSslPortRE()};
  for (auto _ : state) {
    int found = 0;
    ci::WString value[1];
    for (const ci::WString& line : lines) {
      for (const ci::AtlRE* re : expressions) found += re->Match(line.c_str(), value, 1, nullptr);
    }
    if (found != 6) state.SkipWithError("wrong match count");
    benchmark::DoNotOptimize(value[0]);
  }
}

std::string PrefPattern(int i, bool re2_syntax) {
  const std::string value = kPrefQuoted[i] ? "(\"[^\"]*\"|'[^']*')" : "([0-9]+)";
  std::string name = kPrefNames[i];
  return std::string(re2_syntax ? "(?i)" : "") +
         "^[ \\t]*user_pref[ \\t]*\\([ \\t]*\"network\\.proxy\\." + name + "\"[ \\t]*,[ \\t]*" +
         value + "\\)";
}

void BM_Prefs_StdRegex(benchmark::State& state) {
  const std::vector<std::string> lines = PrefsLines();
  std::vector<std::regex> expressions;
  for (int i = 0; i < 6; ++i) {
    expressions.emplace_back(PrefPattern(i, false), std::regex::ECMAScript | std::regex::icase);
  }
  for (auto _ : state) {
    int found = 0;
    std::string value;
    std::smatch m;
    for (const std::string& line : lines) {
      for (const std::regex& re : expressions) {
        if (std::regex_search(line, m, re)) {
          value = m[1].str();
          ++found;
        }
      }
    }
    if (found != 6) state.SkipWithError("wrong match count");
    benchmark::DoNotOptimize(value);
  }
}

void BM_Prefs_RE2(benchmark::State& state) {
  const std::vector<std::string> lines = PrefsLines();
  std::vector<std::unique_ptr<RE2>> expressions;
  for (int i = 0; i < 6; ++i) expressions.push_back(std::make_unique<RE2>(PrefPattern(i, true)));
  for (auto _ : state) {
    int found = 0;
    std::string value;
    for (const std::string& line : lines) {
      for (const auto& re : expressions) found += RE2::PartialMatch(line, *re, &value);
    }
    if (found != 6) state.SkipWithError("wrong match count");
    benchmark::DoNotOptimize(value);
  }
}

// Hostile searches: pattern index 0 (a|aa)*c, 1 (.*)*x, 2 {(a*)*}b.
const char16_t* const kHostileOurs[] = {u"(a|aa)*c", u"(.*)*x", u"{(a*)*}b"};
const char* const kHostileRE2[] = {"(?i)(?:a|aa)*c", "(?is)(?:.*)*x", "(?i)((?:a*)*)b"};

void BM_Hostile_Ours(benchmark::State& state) {
  const ci::AtlRE re(kHostileOurs[state.range(0)]);
  const ci::WString text(static_cast<std::size_t>(state.range(1)), u'a');
  for (auto _ : state) {
    if (re.Match(text.c_str(), nullptr, 0, nullptr)) state.SkipWithError("unexpected match");
  }
  state.SetLabel("n=" + std::to_string(state.range(1)));
}

void BM_Hostile_RE2(benchmark::State& state) {
  const RE2 re(kHostileRE2[state.range(0)]);
  const std::string text(static_cast<std::size_t>(state.range(1)), 'a');
  for (auto _ : state) {
    if (RE2::PartialMatch(text, re)) state.SkipWithError("unexpected match");
  }
  state.SetLabel("n=" + std::to_string(state.range(1)));
}

// The literal is there, the digit after it is not.
const char16_t* const kHostileLiteralOurs[] = {u"(a|aa)*c\\d", u"(.*)*x\\d", u"{(a*)*}b\\d"};
const char* const kHostileLiteralRE2[] = {"(?i)(?:a|aa)*c[0-9]", "(?is)(?:.*)*x[0-9]",
                                          "(?i)((?:a*)*)b[0-9]"};
const char kHostileLiteral[] = {'c', 'x', 'b'};

void BM_HostileLiteral_Ours(benchmark::State& state) {
  const ci::AtlRE re(kHostileLiteralOurs[state.range(0)]);
  const ci::WString text = ci::WString(static_cast<std::size_t>(state.range(1)), u'a') +
                           static_cast<char16_t>(kHostileLiteral[state.range(0)]);
  for (auto _ : state) {
    if (re.Match(text.c_str(), nullptr, 0, nullptr)) state.SkipWithError("unexpected match");
  }
  state.SetLabel("n=" + std::to_string(state.range(1)));
}

void BM_HostileLiteral_RE2(benchmark::State& state) {
  const RE2 re(kHostileLiteralRE2[state.range(0)]);
  const std::string text =
      std::string(static_cast<std::size_t>(state.range(1)), 'a') + kHostileLiteral[state.range(0)];
  for (auto _ : state) {
    if (RE2::PartialMatch(text, re)) state.SkipWithError("unexpected match");
  }
  state.SetLabel("n=" + std::to_string(state.range(1)));
}

// Searches that run until the default budget ends them: the time the budget
// allows one Match on 100,000 characters.
ci::WString ManyAlternatives() {
  ci::WString pattern = u"(";
  for (int i = 0; i < 1000; ++i) {
    if (i > 0) pattern += u"|";
    pattern += u"a";
    pattern += static_cast<char16_t>(u'b' + i % 20);
  }
  return pattern + u")";
}

void BM_Budget_Ours(benchmark::State& state) {
  static const char16_t* const kPatterns[] = {u"{a*?}\\0b", u"{(a|b)*}\\0\\0c", nullptr};
  static const char16_t kEnds[] = {u'b', u'c', u'a'};
  const ci::AtlRE re(kPatterns[state.range(0)] ? ci::WString(kPatterns[state.range(0)])
                                               : ManyAlternatives());
  const ci::WString text = ci::WString(100000, u'a') + kEnds[state.range(0)];
  for (auto _ : state) {
    if (re.Match(text.c_str(), nullptr, 0, nullptr)) state.SkipWithError("unexpected match");
  }
  state.SetLabel(state.range(0) == 2 ? "1000 alternatives" : "back-references");
}

// std::regex backtracks these exponentially (and recursively): only tiny texts.
void BM_Hostile_StdRegex(benchmark::State& state) {
  const std::regex re("(?:a|aa)*c", std::regex::ECMAScript | std::regex::icase);
  const std::string text(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) {
    if (std::regex_search(text, re)) state.SkipWithError("unexpected match");
  }
  state.SetLabel("(a|aa)*c n=" + std::to_string(state.range(0)));
}

BENCHMARK(BM_Walk_Ours);
BENCHMARK(BM_Walk_StdRegex);
BENCHMARK(BM_Walk_RE2);
BENCHMARK(BM_Prefs_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Prefs_StdRegex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Prefs_RE2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Hostile_Ours)
    ->ArgsProduct({{0, 1, 2}, {10000, 100000}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Hostile_RE2)->ArgsProduct({{0, 1, 2}, {10000, 100000}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostileLiteral_Ours)
    ->ArgsProduct({{0, 1, 2}, {10000, 100000}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostileLiteral_RE2)
    ->ArgsProduct({{0, 1, 2}, {10000, 100000}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Budget_Ours)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hostile_StdRegex)->Arg(20)->Arg(24)->Arg(28)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
