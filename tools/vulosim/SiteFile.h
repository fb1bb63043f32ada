// Reads a site file into a SiteStore.
//
//   <site>
//     <device serial="1001">
//       <port id="1" type="ain" label="shelter-temp-internal" value="24.5"/>
//       <port id="2" type="dout" label="aircon-1-run" state="clear"/>
//     </device>
//   </site>
//
// serial and id are unsigned 32-bit decimals; type is ain, aout, din or dout;
// label is required, non-empty and without white space (commands name ports
// by it), and two ports may share it; value (a finite number) is allowed on
// analogue ports only, state (set or clear) on digital ports only. Anything
// else (another element or attribute, a duplicate serial and id, a device
// listed twice) is an error.
#ifndef VULOSIM_SITEFILE_H
#define VULOSIM_SITEFILE_H

#include <string>

#include "SiteStore.h"

// True when `path` was read into `store` (which should be empty). Otherwise
// false with `error` naming the file, the line where known, and the problem.
bool loadSiteFile(const std::string& path, SiteStore& store, std::string& error);

#endif
