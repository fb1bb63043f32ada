#include "restRecord.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kHeader = "frigel air conditioner rests";
// A whole decimal number of nanoseconds, nothing else.
bool parseNanoseconds(const std::string& word, int64_t& value) {
  if (word.empty() || word.size() > 19 ||
      word.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = static_cast<int64_t>(std::strtoll(word.c_str(), nullptr, 10));
  return true;
}

}  // namespace

RestRecord restRecordOf(const AirconOutputs& outputs, const std::string& bootId) {
  RestRecord record;
  record.bootId = bootId;
  const AirconOutputs::Memory memory = outputs.memory();
  for (int unit = 0; unit < AirconOutputs::kUnits; ++unit) {
    const AirconOutputs::Unit& u = memory.units[unit];
    RestRecord::Unit& r = record.units[unit];
    if (!u.present) {
      continue;
    }
    // An output in no known state that rests counts as resting: the rest to
    // keep runs from when it was last known to be switched off, or lost.
    if (u.resting) {
      r.state = RestRecord::Unit::Resting;
      r.restingSince = u.offAt;
    } else {
      r.state = RestRecord::Unit::Running;
    }
  }
  return record;
}

std::string formatRestRecord(const RestRecord& record) {
  std::string text = std::string(kHeader) + "\nboot " + record.bootId + "\n";
  for (int unit = 0; unit < AirconOutputs::kUnits; ++unit) {
    const RestRecord::Unit& r = record.units[unit];
    if (r.state == RestRecord::Unit::Running) {
      text += "unit " + std::to_string(unit + 1) + " running\n";
    } else if (r.state == RestRecord::Unit::Resting) {
      text += "unit " + std::to_string(unit + 1) + " resting-since " +
              std::to_string(r.restingSince) + "\n";
    }
  }
  return text;
}

bool parseRestRecord(const std::string& text, RestRecord& record, std::string& whyNot) {
  record = RestRecord();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    whyNot = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  if (!std::getline(lines, line) || (++number, line != kHeader)) {
    number = 1;
    return fail("not a record of the air conditioners' rests");
  }
  bool haveBoot = false;
  bool seen[AirconOutputs::kUnits] = {false, false};
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
      words.push_back(word);
    }
    if (words.size() == 2 && words[0] == "boot" && !haveBoot) {
      record.bootId = words[1];
      haveBoot = true;
      continue;
    }
    const bool unitLine =
        words.size() >= 3 && words[0] == "unit" && (words[1] == "1" || words[1] == "2");
    if (!unitLine) {
      return fail("unexpected '" + line + "'");
    }
    const int unit = words[1][0] - '1';
    if (seen[unit]) {
      return fail("unit " + words[1] + " given again");
    }
    seen[unit] = true;
    RestRecord::Unit& r = record.units[unit];
    if (words.size() == 3 && words[2] == "running") {
      r.state = RestRecord::Unit::Running;
    } else if (words.size() == 4 && words[2] == "resting-since" &&
               parseNanoseconds(words[3], r.restingSince)) {
      r.state = RestRecord::Unit::Resting;
    } else {
      return fail("unexpected '" + line + "'");
    }
  }
  if (!haveBoot) {
    return fail("no boot id");
  }
  return true;
}

RestRecordUse judgeRestRecord(bool exists, const std::string& text, const std::string& bootId,
                              int64_t now) {
  RestRecordUse use;
  std::string whyNot;
  if (!exists) {
    use.line = "none (first start since boot)";
  } else if (!parseRestRecord(text, use.record, whyNot)) {
    use.line = "damaged (" + whyNot + ")";
  } else if (bootId.empty() || use.record.bootId != bootId) {
    use.line = "written in another boot";
  } else {
    for (int unit = 0; unit < AirconOutputs::kUnits; ++unit) {
      const RestRecord::Unit& r = use.record.units[unit];
      if (r.state == RestRecord::Unit::Resting && r.restingSince > now) {
        use.line = "damaged (unit " + std::to_string(unit + 1) + " rests since a time to come)";
        return use;
      }
    }
    use.valid = true;
  }
  return use;
}
