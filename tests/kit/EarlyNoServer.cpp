// For test programs that link the bridge but talk to no server: the
// process-wide translator must not read /etc or reach a real server
// (EarlySite.h). Linked in as an object of its own, since nothing refers
// to it.
#include "EarlySite.h"

FRIGEL_EARLY_NO_SERVER();
