// Parse throughput of JSON::parse against nlohmann/json on the same 15 MB document of
// member records. Ours reads UTF-16 text (the form the program holds), so the UTF-8
// decoding is measured separately and as part of a whole read from bytes.
#include <benchmark/benchmark.h>

#include <QString>
#include <nlohmann/json.hpp>
#include <string>

#include "JSON.h"

namespace {

const std::string& document() {
  static const std::string doc = [] {
    std::string s = "[";
    for (int i = 0; s.size() < 15u * 1024 * 1024; ++i) {
      if (i) s += ",\n";
      const std::string n = std::to_string(i);
      s += "{\"id\":" + n + ",\"nis\":\"" + n + "/2024\",\"nisn\":\"00" + n + "\",\"nama\":\"Siswa Nomor " + n +
           "\",\"ttl\":\"Bandung, 12-05-2010\",\"agama\":\"Islam\",\"kelamin\":\"L\",\"kelas\":\"7A\",\"aktif\":" +
           (i % 2 ? "true" : "false") + ",\"foto\":null,\"nilai\":[" + std::to_string(i % 100) + ".5,-" +
           std::to_string(i % 7) + "e2,\"\\u00e9\\n\"]}";
    }
    return s + "]";
  }();
  return doc;
}

void Ours_FromText(benchmark::State& state) {
  const QString text = QString::fromStdString(document());
  for (auto _ : state) {
    auto v = JSON::parse(text);
    if (!v || !JSON::GetParserErrors().isEmpty()) state.SkipWithError("refused");
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document().size()));
}

void Ours_FromUtf8Bytes(benchmark::State& state) {
  for (auto _ : state) {
    auto v = JSON::parse(QString::fromStdString(document()));
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document().size()));
}

void Nlohmann(benchmark::State& state) {
  for (auto _ : state) {
    auto v = nlohmann::json::parse(document());
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document().size()));
}

}  // namespace

BENCHMARK(Ours_FromText)->Unit(benchmark::kMillisecond);
BENCHMARK(Ours_FromUtf8Bytes)->Unit(benchmark::kMillisecond);
BENCHMARK(Nlohmann)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
