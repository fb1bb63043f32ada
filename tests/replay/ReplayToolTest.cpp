// The frigel-replay binary: the whole Chicago year of the sample site with
// no invariant broken, results that do not depend on the number of
// processes, and what it refuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace {

const std::string kReplay = FRIGEL_BIN_DIR "/frigel-replay";
const std::string kSource = FRIGEL_SOURCE_DIR;
const std::string kChicago = kSource + "/data/weather/chicago-ohare-tmy3.epw";

struct ToolRun {
  int status = -1;
  std::string err;
};

ToolRun runReplay(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), kReplay);
  ChildProcess child;
  ToolRun run;
  if (!child.start(arguments, {{"FRIGEL_ETC", ""}})) {
    ADD_FAILURE() << "cannot start " << kReplay;
    return run;
  }
  child.closeStdin();
  run.status = child.wait(240000).value_or(-1);
  child.pump(100);
  for (const std::string& line : child.history(ChildProcess::kStderr)) {
    run.err += line + "\n";
  }
  return run;
}

std::vector<std::string> sampleSite(const std::string& weather) {
  return {"--etc",     kSource + "/etc", "--model", kSource + "/etc/model-shelter.xml",
          "--weather", weather,          "--quiet"};
}

nlohmann::json readJson(const std::string& path) {
  const std::string text = readWholeFile(path);
  EXPECT_FALSE(text.empty()) << path;
  return text.empty() ? nlohmann::json() : nlohmann::json::parse(text);
}

TEST(ReplayTool, TheChicagoYearBreaksNoInvariant) {
  // At 1 s passes, beside compressor-only cooling (a month under the
  // sanitizers or qemu, which slow a replay down several times).
  TempDir out;
  std::vector<std::string> arguments = sampleSite(kChicago);
  for (const char* argument :
       {"--pass-seconds", "1", "--compare", "no-free-air", "--processes", "2", "--json"}) {
    arguments.push_back(argument);
  }
  arguments.push_back(out.path() + "/year.json");
#ifdef FRIGEL_SLOW_BUILD
  for (const char* argument : {"--from", "2001-07-01", "--to", "2001-07-31"}) {
    arguments.push_back(argument);
  }
  const double days = 31.0;
#else
  const double days = 365.0;
#endif
  const ToolRun run = runReplay(arguments);
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json result = readJson(out.path() + "/year.json");
  ASSERT_EQ(result["runs"].size(), 2u);
  for (const nlohmann::json& replayed : result["runs"]) {
    SCOPED_TRACE(replayed["name"].get<std::string>());
    EXPECT_EQ(replayed["simulated_seconds"].get<double>(), days * 86400.0);
    EXPECT_TRUE(replayed["violations"].empty()) << replayed["violations"].dump(2);
    EXPECT_GT(replayed["compressor_hours"].get<double>(), 0.0);
  }
  EXPECT_GT(result["comparison"]["compressor_hours_saved"].get<double>(), 0.0);
}

// Every figure but the times the replay took and how it was spread.
nlohmann::json withoutWallClock(nlohmann::json result) {
  result.erase("wall_seconds");
  result.erase("processes");
  for (nlohmann::json& replayed : result["runs"]) {
    replayed.erase("wall_seconds");
  }
  return result;
}

TEST(ReplayTool, ResultsDoNotDependOnTheNumberOfProcesses) {
  // Three hot days across a new year: two years, two runs, four spans.
  TempDir out;
  const std::string weather = out.write("hot.csv",
                                        "time,temperature\n"
                                        "2012-12-30T00:00,24\n2012-12-30T15:00,36\n"
                                        "2012-12-31T05:00,22\n2012-12-31T15:00,37\n"
                                        "2013-01-01T05:00,23\n2013-01-01T15:00,38\n"
                                        "2013-01-02T00:00,25\n");
  std::vector<nlohmann::json> results;
  for (const char* processes : {"1", "3"}) {
    std::vector<std::string> arguments = sampleSite(weather);
    const std::string json = out.path() + "/p" + processes + ".json";
    for (const std::string& argument :
         {std::string("--pass-seconds"), std::string("1"), std::string("--compare"),
          std::string("no-free-air"), std::string("--processes"), std::string(processes),
          std::string("--json"), json}) {
      arguments.push_back(argument);
    }
    const ToolRun run = runReplay(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    results.push_back(withoutWallClock(readJson(json)));
  }
  EXPECT_GT(results[0]["runs"][0]["starts"].get<int>(), 0);
  EXPECT_EQ(results[0], results[1]);
}

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;  // after the sample site's, with {dir} for the folder
  const char* message;
};

TEST(ReplayTool, RefusesWithExitTwoAndWritesNothing) {
  TempDir dir;
  dir.write("bad.csv", "time,temperature\n2012-01-01T00:00,20\n2012-01-01T01:00,warm\n");
  dir.write("etc/frigel.conf", "SyncTime=300\n");
  dir.write("etc/frigel/frigelconfig.xml", readWholeFile(kSource + "/etc/frigel/frigelconfig.xml"));
  dir.write("etc/frigel/frigelConstants.xml",
            readWholeFile(kSource + "/etc/frigel/frigelConstants.xml"));
  const Refusal refusals[] = {
      {"a pass count that does not divide",
       {"--pass-seconds", "0.07"},
       "aircon1MinimumRunTimeValue 30000 passes is not a whole number of replay passes"},
      {"no exact pass length", {"--etc", "{dir}/etc"}, "PassPeriodMicroseconds is absent"},
      {"a malformed weather file", {"--weather", "{dir}/bad.csv"}, "bad.csv:3:"},
      {"an unknown option", {"--passes", "3"}, "'--passes' is not an option"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    std::vector<std::string> arguments = sampleSite(kChicago);
    for (std::string argument : refusal.arguments) {
      const std::size_t at = argument.find("{dir}");
      if (at != std::string::npos) {
        argument.replace(at, 5, dir.path());
      }
      arguments.push_back(argument);
    }
    const std::string json = dir.path() + "/refused.json";
    arguments.push_back("--json");
    arguments.push_back(json);
    const ToolRun run = runReplay(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(refusal.message), std::string::npos) << run.err;
    EXPECT_TRUE(readWholeFile(json).empty());
  }
}

}  // namespace
