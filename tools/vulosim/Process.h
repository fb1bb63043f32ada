// Process set-up: standard descriptors and the stop signals.
#ifndef VULOSIM_PROCESS_H
#define VULOSIM_PROCESS_H

#include <string>

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no socket can later take one of those numbers and be read as the console.
void ensureStandardDescriptors();

// Ignores SIGPIPE and makes SIGINT and SIGTERM write to a pipe whose read
// end is returned; -1 with `error` on failure.
int installStopSignals(std::string& error);

#endif
