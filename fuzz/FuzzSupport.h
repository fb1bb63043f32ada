// Helpers shared by the fuzzing harnesses.
#ifndef FRIGEL_FUZZ_FUZZSUPPORT_H
#define FRIGEL_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken property of the code under test: says which and aborts, so that
// libFuzzer keeps the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// A folder of this process's own under the temporary directory, removed at
// exit; the harnesses write the files they hand to file readers there.
const std::string& fuzzScratchDirectory();

// Writes `size` bytes to `relativePath` under the scratch folder (creating
// folders) and returns the full path.
std::string writeScratchFile(const std::string& relativePath, const uint8_t* data,
                             std::size_t size);
std::string writeScratchFile(const std::string& relativePath, const std::string& text);

#endif
