// The label look-ups against a directory that answers from a table.
#include <gtest/gtest.h>

#include <map>

#include "SampleConfiguration.h"
#include "ServerReview.h"

namespace {

class TableDirectory : public PortDirectory {
 public:
  std::map<std::string, std::vector<PortFound>> ports;
  bool answering = true;
  std::vector<std::string> asked;

  std::optional<std::vector<PortFound>> portsLabelled(const std::string& label) override {
    asked.push_back(label);
    if (!answering) {
      return std::nullopt;
    }
    auto found = ports.find(label);
    return found == ports.end() ? std::vector<PortFound>{} : found->second;
  }
};

LabelLookup probe(const std::string& label, long line) {
  return {"internalProbeLabel", "the internal probe", label, line, PORT_TYPE_ANALOG_IN, true};
}

LabelLookup output(const std::string& label, long line) {
  return {"aircon 1", "aircon 1", label, line, PORT_TYPE_DISCRETE_OUT, false};
}

struct Review {
  Findings findings;
  std::vector<std::string> listing;
  bool answered = false;
};

Review review(const std::vector<LabelLookup>& lookups, TableDirectory& directory) {
  Review result;
  result.answered = reviewLabels(lookups, directory, "settings.xml", "127.0.0.1:9", result.findings,
                                 result.listing);
  return result;
}

TEST(LabelReview, AFoundLabelIsListedWithItsPortAndNoWarning) {
  TableDirectory directory;
  directory.ports["t-int"] = {{1001, 1, PORT_TYPE_ANALOG_IN}, {1002, 5, PORT_TYPE_DISCRETE_IN}};
  Review result = review({probe("t-int", 3)}, directory);
  EXPECT_TRUE(result.answered);
  EXPECT_TRUE(result.findings.all().empty());
  ASSERT_EQ(result.listing.size(), 1u);
  EXPECT_EQ(result.listing[0],
            "  internalProbeLabel \"t-int\": analogue input 1001/1; the label is also on a "
            "discrete input (1002/5)");
}

TEST(LabelReview, AMissingLabel) {
  TableDirectory directory;
  Review result = review({output("ac-9", 7)}, directory);
  ASSERT_EQ(result.findings.all().size(), 1u);
  const Finding& finding = result.findings.all()[0];
  EXPECT_EQ(formatFinding(finding),
            "warning: settings.xml:7: no port on the object server is labelled \"ac-9\": the "
            "daemon cannot set up aircon 1");
}

TEST(LabelReview, AmbiguousLabelsNameThePortTheDaemonTakes) {
  TableDirectory directory;
  const std::vector<PortFound> twoInputs = {{1001, 1, PORT_TYPE_ANALOG_IN},
                                            {1002, 1, PORT_TYPE_ANALOG_IN}};
  const std::vector<PortFound> twoOutputs = {{2001, 1, PORT_TYPE_DISCRETE_OUT},
                                             {2002, 1, PORT_TYPE_DISCRETE_OUT}};
  directory.ports["probe"] = twoInputs;
  directory.ports["relay"] = twoOutputs;
  Review result = review({probe("probe", 2), output("relay", 4)}, directory);
  ASSERT_EQ(result.findings.all().size(), 2u);
  EXPECT_NE(result.findings.all()[0].message.find(
                "\"probe\" is ambiguous: it labels 2 analogue inputs (1001/1, 1002/1); the "
                "daemon takes the last, 1002/1, for the internal probe"),
            std::string::npos);
  EXPECT_NE(
      result.findings.all()[1].message.find("the daemon takes the first, 2001/1, for aircon 1"),
      std::string::npos);
}

TEST(LabelReview, ALabelOnAPortOfTheWrongType) {
  TableDirectory directory;
  directory.ports["fan"] = {{3001, 2, PORT_TYPE_ANALOG_OUT}};
  Review result = review({output("fan", 5)}, directory);
  ASSERT_EQ(result.findings.all().size(), 1u);
  EXPECT_EQ(result.findings.all()[0].message,
            "\"fan\" is the label of an analogue output (3001/2), not of a discrete output: the "
            "daemon cannot set up aircon 1");
  EXPECT_EQ(result.listing[0],
            "  aircon 1 \"fan\": no discrete output; the label is on an analogue output (3001/2)");
}

TEST(LabelReview, EmptyLabelsAreNotLookedUpAndASilentServerIsAnError) {
  TableDirectory directory;
  directory.answering = false;
  Review result = review({probe("", 2), probe("t-int", 3), output("ac-1", 4)}, directory);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(directory.asked, std::vector<std::string>{"t-int"});  // stops at the first silence
  ASSERT_EQ(result.findings.all().size(), 1u);
  EXPECT_EQ(formatFinding(result.findings.all()[0]),
            "error: 127.0.0.1:9: the object server did not answer the look-up of \"t-int\"");
}

TEST(LabelReview, TheLookUpsAreTheSetUpsTheDaemonMakes) {
  SampleConfiguration sample;
  sample.replace(sample.settings, "<number>2</number>", "<number>5</number>");
  TableDirectory directory;
  sample.check(&directory);
  // Unit 5 is ignored by the daemon, so it is not looked up.
  EXPECT_EQ(directory.asked,
            (std::vector<std::string>{"shelter-temp-internal", "shelter-temp-external",
                                      "aircon-1-run", "fan-speed"}));
}

}  // namespace
