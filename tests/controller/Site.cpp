// The translator of this program talks to a simulated site with two
// air-conditioner outputs and a fan output.
#include "EarlySite.h"

FRIGEL_EARLY_SITE(FRIGEL_TEST_DATA_DIR "/controller-site.xml");
