#include "ModelFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "NumberText.h"
#include "XmlDocument.h"

namespace {

// A step shorter than this (in real time) is refused: the loop could not
// keep up, and the clock would only fall further behind.
constexpr double kShortestTickS = 1e-6;

bool hasWhiteSpace(const std::string& text) {
  return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

// True when `total` is a whole number (>= 1) of `part`, allowing for the
// rounding of decimal fractions.
bool isWholeMultiple(double total, double part) {
  const double ratio = total / part;
  return std::round(ratio) >= 1.0 && std::fabs(ratio - std::round(ratio)) <= 1e-9 * ratio;
}

std::string formatValue(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

// Reads one model document; the first problem found ends the reading.
class ModelReader : public XmlDocumentReader {
 public:
  ModelReader(const std::string& path, ModelSpec& definition)
      : XmlDocumentReader(path), mSpec(definition) {}

  bool read(const xmlNode* root);

 private:
  enum class Range { Any, Positive, NonNegative };

  bool checkEmpty(const xmlNode* node);
  bool requireText(const xmlNode* node, const char* name, std::string& value);
  bool number(const xmlNode* node, const char* name, Range range, double& value,
              bool required = true);
  bool label(const xmlNode* node, const char* name, std::string& value);

  bool readTime(const xmlNode* node);
  bool readRecord(const xmlNode* node);
  bool readRoom(const xmlNode* node);
  bool readLoad(const xmlNode* node);
  bool readWalls(const xmlNode* node);
  bool readOutside(const xmlNode* node);
  bool readProbes(const xmlNode* node);
  bool readAircon(const xmlNode* node);
  bool readFan(const xmlNode* node);
  bool readThreshold(const xmlNode* node);
  bool checkTiming(const xmlNode* root);

  ModelSpec& mSpec;
  const xmlNode* mTimeNode = nullptr;
  bool mHaveRecord = false;
};

bool ModelReader::checkEmpty(const xmlNode* node) {
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (!isIgnorableXmlNode(child)) {
      return fail(child, "<" + xmlNodeName(node) + "> must be empty");
    }
  }
  return true;
}

bool ModelReader::requireText(const xmlNode* node, const char* name, std::string& value) {
  if (!readXmlAttribute(node, name, value)) {
    return fail(node, "<" + xmlNodeName(node) + ">: missing attribute '" + name + "'");
  }
  return true;
}

bool ModelReader::number(const xmlNode* node, const char* name, Range range, double& value,
                         bool required) {
  std::string text;
  if (!readXmlAttribute(node, name, text)) {
    return required ? fail(node, "<" + xmlNodeName(node) + ">: missing attribute '" + name + "'")
                    : true;
  }
  const std::string where = "<" + xmlNodeName(node) + "> " + name + " '" + text + "'";
  double parsed = 0.0;
  if (!parseFiniteDouble(text, parsed)) {
    return fail(node, where + " is not a finite number");
  }
  if (range == Range::Positive && !(parsed > 0.0)) {
    return fail(node, where + " must be greater than 0");
  }
  if (range == Range::NonNegative && parsed < 0.0) {
    return fail(node, where + " must not be negative");
  }
  value = parsed;
  return true;
}

bool ModelReader::label(const xmlNode* node, const char* name, std::string& value) {
  if (!requireText(node, name, value)) {
    return false;
  }
  if (value.empty() || hasWhiteSpace(value)) {
    return fail(node, "<" + xmlNodeName(node) + "> " + name + " '" + value +
                          "' must be non-empty and contain no white space");
  }
  return true;
}

bool ModelReader::read(const xmlNode* root) {
  if (!checkDocumentElement(root, "model")) {
    return false;
  }
  using Reader = bool (ModelReader::*)(const xmlNode*);
  const std::map<std::string, Reader> readers = {
      {"time", &ModelReader::readTime},     {"record", &ModelReader::readRecord},
      {"room", &ModelReader::readRoom},     {"load", &ModelReader::readLoad},
      {"walls", &ModelReader::readWalls},   {"outside", &ModelReader::readOutside},
      {"probes", &ModelReader::readProbes}, {"aircon", &ModelReader::readAircon},
      {"fan", &ModelReader::readFan},       {"threshold", &ModelReader::readThreshold}};
  const std::set<std::string> repeatable = {"aircon", "threshold"};
  std::set<std::string> seen;
  for (const xmlNode* child = root->children; child; child = child->next) {
    if (isIgnorableXmlNode(child)) {
      continue;
    }
    if (child->type != XML_ELEMENT_NODE) {
      return fail(child, "unexpected text in <model>");
    }
    const std::string name = xmlNodeName(child);
    auto reader = readers.find(name);
    if (reader == readers.end()) {
      return fail(child, "unknown element <" + name + "> in <model>");
    }
    if (!seen.insert(name).second && !repeatable.count(name)) {
      return fail(child, "<" + name + "> is given twice");
    }
    if (!(this->*(reader->second))(child)) {
      return false;
    }
  }
  for (const char* required : {"time", "room", "load", "walls", "outside", "probes"}) {
    if (!seen.count(required)) {
      return fail(root, std::string("<") + required + "> is missing");
    }
  }
  return checkTiming(root);
}

bool ModelReader::readTime(const xmlNode* node) {
  mTimeNode = node;
  if (!checkAttributes(node, {"step", "factor", "duration", "start", "startWhen"}) ||
      !checkEmpty(node) || !number(node, "step", Range::Positive, mSpec.stepS) ||
      !number(node, "factor", Range::Positive, mSpec.factor) ||
      !number(node, "duration", Range::Positive, mSpec.durationS) ||
      !number(node, "start", Range::NonNegative, mSpec.startClockS, false)) {
    return false;
  }
  if (mSpec.startClockS >= kSecondsPerDay) {
    return fail(node, "<time> start '" + formatValue(mSpec.startClockS) +
                          "' must be a time of day in seconds, below 86400");
  }
  std::string startWhen = "ready";
  readXmlAttribute(node, "startWhen", startWhen);
  if (startWhen != "ready" && startWhen != "client") {
    return fail(node, "<time> startWhen '" + startWhen + "' is not 'ready' or 'client'");
  }
  mSpec.waitForClient = startWhen == "client";
  return true;
}

bool ModelReader::readRecord(const xmlNode* node) {
  mHaveRecord = true;
  return checkAttributes(node, {"interval"}) && checkEmpty(node) &&
         number(node, "interval", Range::Positive, mSpec.recordIntervalS);
}

bool ModelReader::readRoom(const xmlNode* node) {
  double heatCapacityKJPerK = 0.0;
  if (!checkAttributes(node, {"heatCapacity", "initialTemperature"}) || !checkEmpty(node) ||
      !number(node, "heatCapacity", Range::Positive, heatCapacityKJPerK)) {
    return false;
  }
  mSpec.heatCapacityJPerK = heatCapacityKJPerK * 1000.0;
  double initialC = 0.0;
  std::string ignored;
  if (readXmlAttribute(node, "initialTemperature", ignored)) {
    if (!number(node, "initialTemperature", Range::Any, initialC)) {
      return false;
    }
    mSpec.initialC = initialC;
  }
  return true;
}

bool ModelReader::readLoad(const xmlNode* node) {
  if (!checkAttributes(node, {"watts"})) {
    return false;
  }
  std::string ignored;
  const bool constant = readXmlAttribute(node, "watts", ignored);
  std::vector<std::pair<double, double>> points;
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (isIgnorableXmlNode(child)) {
      continue;
    }
    if (child->type != XML_ELEMENT_NODE || xmlNodeName(child) != "point") {
      return fail(child, "<load> may hold only <point hour=\"..\" watts=\"..\"/>");
    }
    if (constant) {
      return fail(child, "<load> has both watts and points; give one or the other");
    }
    double hour = 0.0;
    double watts = 0.0;
    if (!checkAttributes(child, {"hour", "watts"}) || !checkEmpty(child) ||
        !number(child, "hour", Range::NonNegative, hour) ||
        !number(child, "watts", Range::NonNegative, watts)) {
      return false;
    }
    if (hour >= 24.0) {
      return fail(child, "<point> hour '" + formatValue(hour) + "' must be below 24");
    }
    if (!points.empty() && hour <= points.back().first) {
      return fail(child, "<point> hour '" + formatValue(hour) +
                             "' must come after the point before (" +
                             formatValue(points.back().first) + ")");
    }
    points.emplace_back(hour, watts);
  }
  if (constant) {
    double watts = 0.0;
    if (!number(node, "watts", Range::NonNegative, watts)) {
      return false;
    }
    mSpec.loadW = DailyProfile::constant(watts);
    return true;
  }
  if (points.empty()) {
    return fail(node, "<load> needs watts or at least one <point>");
  }
  mSpec.loadW = DailyProfile(points);
  return true;
}

bool ModelReader::readWalls(const xmlNode* node) {
  return checkAttributes(node, {"conductance"}) && checkEmpty(node) &&
         number(node, "conductance", Range::NonNegative, mSpec.wallConductanceWPerK);
}

bool ModelReader::readOutside(const xmlNode* node) {
  if (!checkAttributes(node, {"min", "max", "coldestHour", "warmestHour", "csv"}) ||
      !checkEmpty(node)) {
    return false;
  }
  std::string csv;
  if (readXmlAttribute(node, "csv", csv)) {
    if (node->properties->next) {
      return fail(node, "<outside> takes either csv or min, max, coldestHour and warmestHour");
    }
    // A relative path is taken from the model file's folder.
    std::filesystem::path csvPath(csv);
    if (csvPath.is_relative()) {
      csvPath = std::filesystem::path(mPath).parent_path() / csvPath;
    }
    std::ifstream in(csvPath, std::ios::binary);
    if (!in) {
      return fail(node,
                  "<outside> csv: cannot open " + csvPath.string() + ": " + std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::pair<double, double>> points;
    std::string problem;
    if (!parseTemperatureCsv(text.str(), points, problem)) {
      return fail(node, "<outside> csv " + csvPath.string() + ": " + problem);
    }
    mSpec.outside = OutsideTemperature(TimeSeries(points));
    return true;
  }
  double minC = 0.0;
  double maxC = 0.0;
  double coldestHour = 5.0;
  double warmestHour = 15.0;
  if (!number(node, "min", Range::Any, minC) || !number(node, "max", Range::Any, maxC) ||
      !number(node, "coldestHour", Range::NonNegative, coldestHour, false) ||
      !number(node, "warmestHour", Range::NonNegative, warmestHour, false)) {
    return false;
  }
  if (minC > maxC) {
    return fail(node, "<outside> min " + formatValue(minC) + " is above max " + formatValue(maxC));
  }
  if (coldestHour >= 24.0 || warmestHour >= 24.0) {
    return fail(node, "<outside> coldestHour and warmestHour must be below 24");
  }
  if (coldestHour == warmestHour) {
    return fail(node, "<outside> coldestHour and warmestHour must differ");
  }
  mSpec.outside = OutsideTemperature(DailyTemperatureCurve(minC, maxC, coldestHour, warmestHour));
  return true;
}

bool ModelReader::readProbes(const xmlNode* node) {
  mSpec.probesLine = xmlGetLineNo(node);
  double seed = 1.0;
  if (!checkAttributes(node, {"internal", "external", "resolution", "noise", "seed"}) ||
      !checkEmpty(node) || !label(node, "internal", mSpec.internalLabel) ||
      !label(node, "external", mSpec.externalLabel) ||
      !number(node, "resolution", Range::NonNegative, mSpec.resolutionC, false) ||
      !number(node, "noise", Range::NonNegative, mSpec.noiseC, false) ||
      !number(node, "seed", Range::NonNegative, seed, false)) {
    return false;
  }
  if (seed != std::floor(seed) || seed > 4294967295.0) {
    return fail(node, "<probes> seed '" + formatValue(seed) +
                          "' must be a whole number from 0 to 4294967295");
  }
  mSpec.seed = static_cast<uint32_t>(seed);
  if (mSpec.internalLabel == mSpec.externalLabel) {
    return fail(node,
                "<probes> internal and external name the same label '" + mSpec.internalLabel + "'");
  }
  return true;
}

bool ModelReader::readAircon(const xmlNode* node) {
  AirconSpec aircon;
  aircon.line = xmlGetLineNo(node);
  double number = 0.0;
  if (!checkAttributes(node, {"number", "label", "coolingWatts", "electricWatts", "failed"}) ||
      !checkEmpty(node) || !this->number(node, "number", Range::Positive, number) ||
      !label(node, "label", aircon.label) ||
      !this->number(node, "coolingWatts", Range::NonNegative, aircon.coolingW) ||
      !this->number(node, "electricWatts", Range::NonNegative, aircon.electricW)) {
    return false;
  }
  if (number != 1.0 && number != 2.0) {
    return fail(node, "<aircon> number '" + formatValue(number) + "' must be 1 or 2");
  }
  aircon.number = static_cast<int>(number);
  std::string failed = "false";
  readXmlAttribute(node, "failed", failed);
  if (failed != "true" && failed != "false") {
    return fail(node, "<aircon> failed '" + failed + "' is not 'true' or 'false'");
  }
  aircon.failed = failed == "true";
  for (const AirconSpec& other : mSpec.aircons) {
    if (other.number == aircon.number) {
      return fail(node, "aircon " + std::to_string(aircon.number) + " is given twice");
    }
    if (other.label == aircon.label) {
      return fail(node, "aircons " + std::to_string(other.number) + " and " +
                            std::to_string(aircon.number) + " name the same label '" +
                            aircon.label + "'");
    }
  }
  mSpec.aircons.push_back(aircon);
  if (mSpec.aircons.size() == 2 && mSpec.aircons[0].number == 2) {
    std::swap(mSpec.aircons[0], mSpec.aircons[1]);
  }
  return true;
}

bool ModelReader::readFan(const xmlNode* node) {
  FanSpec fan;
  fan.line = xmlGetLineNo(node);
  if (!checkAttributes(node, {"label", "airflow", "electricWatts"}) || !checkEmpty(node) ||
      !label(node, "label", fan.label) ||
      !number(node, "airflow", Range::NonNegative, fan.airflowM3PerH) ||
      !number(node, "electricWatts", Range::NonNegative, fan.electricW)) {
    return false;
  }
  mSpec.fan = fan;
  return true;
}

bool ModelReader::readThreshold(const xmlNode* node) {
  ThresholdSpec threshold;
  if (!checkAttributes(node, {"name", "temperature"}) || !checkEmpty(node) ||
      !label(node, "name", threshold.name) ||
      !number(node, "temperature", Range::Any, threshold.temperatureC)) {
    return false;
  }
  for (const ThresholdSpec& other : mSpec.thresholds) {
    if (other.name == threshold.name) {
      return fail(node, "threshold '" + threshold.name + "' is given twice");
    }
  }
  mSpec.thresholds.push_back(threshold);
  return true;
}

bool ModelReader::checkTiming(const xmlNode* root) {
  const xmlNode* at = mTimeNode ? mTimeNode : root;
  const std::string step = formatValue(mSpec.stepS) + " s";
  if (!isWholeMultiple(mSpec.durationS, mSpec.stepS)) {
    return fail(at, "<time> duration " + formatValue(mSpec.durationS) +
                        " s is not a whole number of steps of " + step);
  }
  if (mHaveRecord && !isWholeMultiple(mSpec.recordIntervalS, mSpec.stepS)) {
    return fail(at, "<record> interval " + formatValue(mSpec.recordIntervalS) +
                        " s is not a whole number of steps of " + step);
  }
  if (!mHaveRecord) {
    // The default of one row a minute, or one a step for longer steps.
    mSpec.recordIntervalS = isWholeMultiple(60.0, mSpec.stepS) ? 60.0 : mSpec.stepS;
  }
  if (mSpec.stepS / mSpec.factor < kShortestTickS) {
    return fail(at, "<time> step " + step + " at factor " + formatValue(mSpec.factor) +
                        " asks for more than one step per microsecond of real time");
  }
  return true;
}

}  // namespace

uint64_t ModelSpec::totalSteps() const {
  return static_cast<uint64_t>(std::llround(durationS / stepS));
}

uint64_t ModelSpec::stepsPerRecord() const {
  const long long steps = std::llround(recordIntervalS / stepS);
  return steps < 1 ? 1 : static_cast<uint64_t>(steps);
}

bool loadModelFile(const std::string& path, ModelSpec& definition, std::string& error) {
  XmlDocPtr doc = readXmlFile(path, error);
  if (!doc) {
    return false;
  }
  ModelSpec read;
  ModelReader reader(path, read);
  if (!reader.read(xmlDocGetRootElement(doc.get()))) {
    error = reader.error();
    return false;
  }
  definition = read;
  return true;
}
