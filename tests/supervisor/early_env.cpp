// The translator linked into this program must not read /etc or reach a
// real server.
#include "EarlySite.h"

FRIGEL_EARLY_NO_SERVER();
