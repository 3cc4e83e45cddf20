// The message codec against libprotobuf's classes generated from the same
// schemas, on the same bytes, in the same run: decode, encode, and decode+encode
// for a fully set MachinePreferencesProto, for a ProxySettingsProto with both
// hosts and ports, and for ProtocolDescriptor's own self-description (the largest
// message of the system: 19 Tag entries and 3 enums), with a reused message and
// with a new message each time.
// Decoding clears first on both sides (DecodeBlob clears; ParseFromArray does).
#include <benchmark/benchmark.h>

#include <string>

#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"
#include "net/proto/protocoltype.pb.h"
#include "protocol/preferences.h"
#include "protocol/preferences.pb.h"
#include "protocol/proxy_settings.h"
#include "protocol/proxy_settings.pb.h"

namespace {

namespace oracle = velmor::updater;

std::string MachineBytes() {
  oracle::MachinePreferencesProto m;
  m.set_notify_software_updates(true);
  m.set_send_stats(true);
  m.set_express_updates_enabled(false);
  m.set_third_party_updates_enabled(true);
  m.set_user_changed_third_party_updates_enabled(true);
  return m.SerializeAsString();
}

std::string ProxyBytes() {
  oracle::ProxySettingsProto m;
  m.set_auto_detect(false);
  m.set_http_host("proxy.example.com");
  m.set_http_port(8080);
  m.set_ssl_host("proxy.example.com");
  m.set_ssl_port(8443);
  return m.SerializeAsString();
}

const std::string kDescriptor(reinterpret_cast<const char*>(ProtocolDescriptor::self_description()),
                              static_cast<size_t>(ProtocolDescriptor::self_description_size()));
const std::string kMachine = MachineBytes();
const std::string kProxy = ProxyBytes();

const uint8_t* Data(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
int32_t Size(const std::string& s) { return static_cast<int32_t>(s.size()); }

// ---- ours ------------------------------------------------------------------------

template <typename Message>
void OursDecode(benchmark::State& state, const std::string& bytes) {
  Message m;
  for (auto _ : state) {
    m.Clear();
    if (!ParseFromBytes(&m, Data(bytes), Size(bytes))) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(m);
  }
}

template <typename Message>
void OursEncode(benchmark::State& state, const std::string& bytes) {
  Message m;
  ParseFromBytes(&m, Data(bytes), Size(bytes));
  std::string out;
  for (auto _ : state) {
    out.clear();
    AppendEncoded(m, &out);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != bytes) state.SkipWithError("encoding differs from libprotobuf's");
}

template <typename Message>
void OursRoundTrip(benchmark::State& state, const std::string& bytes) {
  Message m;
  std::string out;
  for (auto _ : state) {
    m.Clear();
    if (!ParseFromBytes(&m, Data(bytes), Size(bytes))) state.SkipWithError("decode failed");
    out.clear();
    AppendEncoded(m, &out);
    benchmark::DoNotOptimize(out.data());
  }
}

template <typename Message>
void OursRoundTripNew(benchmark::State& state, const std::string& bytes) {
  std::string out;
  for (auto _ : state) {
    Message m;
    if (!ParseFromBytes(&m, Data(bytes), Size(bytes))) state.SkipWithError("decode failed");
    out.clear();
    AppendEncoded(m, &out);
    benchmark::DoNotOptimize(out.data());
  }
}

// ---- libprotobuf -----------------------------------------------------------------

template <typename Message>
void TheirsDecode(benchmark::State& state, const std::string& bytes) {
  Message m;
  for (auto _ : state) {
    if (!m.ParseFromArray(bytes.data(), Size(bytes))) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(m);
  }
}

template <typename Message>
void TheirsEncode(benchmark::State& state, const std::string& bytes) {
  Message m;
  m.ParseFromArray(bytes.data(), Size(bytes));
  std::string out;
  for (auto _ : state) {
    out.clear();
    m.AppendToString(&out);
    benchmark::DoNotOptimize(out.data());
  }
}

template <typename Message>
void TheirsRoundTrip(benchmark::State& state, const std::string& bytes) {
  Message m;
  std::string out;
  for (auto _ : state) {
    if (!m.ParseFromArray(bytes.data(), Size(bytes))) state.SkipWithError("decode failed");
    out.clear();
    m.AppendToString(&out);
    benchmark::DoNotOptimize(out.data());
  }
}

template <typename Message>
void TheirsRoundTripNew(benchmark::State& state, const std::string& bytes) {
  std::string out;
  for (auto _ : state) {
    Message m;
    if (!m.ParseFromArray(bytes.data(), Size(bytes))) state.SkipWithError("decode failed");
    out.clear();
    m.AppendToString(&out);
    benchmark::DoNotOptimize(out.data());
  }
}

using Body = void (*)(benchmark::State&, const std::string&);

// Registers our run and libprotobuf's run of one operation side by side.
void Pair(const char* name, Body ours, Body theirs, const std::string* bytes) {
  benchmark::RegisterBenchmark((std::string(name) + "/ours").c_str(),
                               [ours, bytes](benchmark::State& s) { ours(s, *bytes); });
  benchmark::RegisterBenchmark((std::string(name) + "/libprotobuf").c_str(),
                               [theirs, bytes](benchmark::State& s) { theirs(s, *bytes); });
}

const bool kRegistered = [] {
  using M = MachinePreferencesProto;
  using OM = oracle::MachinePreferencesProto;
  using P = ProxySettingsProto;
  using OP = oracle::ProxySettingsProto;
  Pair("Decode/MachinePreferencesProto", OursDecode<M>, TheirsDecode<OM>, &kMachine);
  Pair("Encode/MachinePreferencesProto", OursEncode<M>, TheirsEncode<OM>, &kMachine);
  Pair("DecodeEncode/MachinePreferencesProto", OursRoundTrip<M>, TheirsRoundTrip<OM>, &kMachine);
  Pair("Decode/ProxySettingsProto", OursDecode<P>, TheirsDecode<OP>, &kProxy);
  Pair("Encode/ProxySettingsProto", OursEncode<P>, TheirsEncode<OP>, &kProxy);
  Pair("DecodeEncode/ProxySettingsProto", OursRoundTrip<P>, TheirsRoundTrip<OP>, &kProxy);
  Pair("DecodeEncodeNewMessage/ProxySettingsProto", OursRoundTripNew<P>, TheirsRoundTripNew<OP>,
       &kProxy);
  using D = ProtocolDescriptor;
  using OD = oracle::ProtocolDescriptor;
  Pair("Decode/ProtocolDescriptor", OursDecode<D>, TheirsDecode<OD>, &kDescriptor);
  Pair("Encode/ProtocolDescriptor", OursEncode<D>, TheirsEncode<OD>, &kDescriptor);
  Pair("DecodeEncode/ProtocolDescriptor", OursRoundTrip<D>, TheirsRoundTrip<OD>, &kDescriptor);
  Pair("DecodeEncodeNewMessage/ProtocolDescriptor", OursRoundTripNew<D>, TheirsRoundTripNew<OD>,
       &kDescriptor);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
