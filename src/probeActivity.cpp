#include "probeActivity.h"

ProbeActivity probeActivity;
