#include "controllerVariables.h"

ControllerSettingValues ControllerSettingValues::current() {
  ControllerSettingValues settings;
#define FRIGEL_READ_SETTING(type, name) settings.name = ::name;
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_READ_SETTING)
#undef FRIGEL_READ_SETTING
  return settings;
}

void ControllerSettingValues::apply() const {
#define FRIGEL_WRITE_SETTING(type, name) ::name = name;
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_WRITE_SETTING)
#undef FRIGEL_WRITE_SETTING
}

bool ControllerSettingValues::operator==(const ControllerSettingValues& other) const {
#define FRIGEL_SAME_SETTING(type, name) \
  if (name != other.name) {             \
    return false;                       \
  }
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_SAME_SETTING)
#undef FRIGEL_SAME_SETTING
  return true;
}
