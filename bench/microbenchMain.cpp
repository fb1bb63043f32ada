// Google Benchmark micro-benchmarks of the daemon's hot paths, linked with
// the daemon's own units. The process-wide translator is built during
// static initialisation: before that, the test kit's early site
// (frigel_test_kit_no_server) points VULOD_PORT at a loopback port that
// refuses connections and FRIGEL_ETC at a temporary folder, which gets only
// a logging configuration here (INFO, so debug lines are disabled as in
// production), so nothing reaches a real server or reads /etc.
//
//   frigel_microbench [--smoke] [Google Benchmark flags]
//
// --smoke: every benchmark runs exactly one iteration (a check that they
// all still run; the figures mean nothing).
#include <cstring>
#include <fstream>
#include <vector>

#include "EarlySite.h"
#include "MicroBenchmarks.h"

namespace {

// Written after the early site (priority 101) and before the translator
// reads it (priority 1001).
struct QuietLogging {
  QuietLogging() {
    if (EarlySite* site = earlySite(); site != nullptr && !site->etcDir.empty()) {
      std::ofstream(site->etcDir + "/frigel.conf")
          << "log4cpp.rootCategory=INFO, console\n"
             "log4cpp.appender.console=ConsoleAppender\n"
             "log4cpp.appender.console.layout=PatternLayout\n"
             "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n";
    }
  }
} quietLogging __attribute__((init_priority(102)));

}  // namespace

int main(int argc, char** argv) {
  bool smoke = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) {
      smoke = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  BenchmarkList all;
  for (const BenchmarkList& part :
       {registerControllerBenchmarks(), registerCodecBenchmarks(), registerBridgeBenchmarks()}) {
    all.insert(all.end(), part.begin(), part.end());
  }
  if (smoke) {
    for (benchmark::internal::Benchmark* registered : all) {
      registered->Iterations(1);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
    return 2;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
