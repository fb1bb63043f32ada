// What a temperature probe reports of the true temperature: optional noise
// from a seeded generator, then rounding to the probe's resolution. The
// same seed gives the same readings on every machine.
#ifndef VULOSIM_PROBEREADER_H
#define VULOSIM_PROBEREADER_H

#include <cstdint>
#include <random>

// `valueC` rounded to the nearest multiple of `resolutionC`; unchanged when
// the resolution is 0.
double quantise(double valueC, double resolutionC);

class ProbeReader {
 public:
  // `resolutionC` >= 0 (0: no rounding); `noiseC` >= 0 is the standard
  // deviation of a normal noise added before rounding (0: none).
  ProbeReader(double resolutionC, double noiseC, uint32_t seed)
      : mResolutionC(resolutionC), mNoiseC(noiseC), mGenerator(seed) {}

  float read(double trueC);

 private:
  // A standard normal number. Box-Muller over the generator's own output:
  // std::normal_distribution differs between standard libraries, the
  // Mersenne Twister does not.
  double standardNormal();
  double uniformOpen();  // in (0, 1)

  double mResolutionC;
  double mNoiseC;
  std::mt19937 mGenerator;
  bool mHaveSpare = false;
  double mSpare = 0.0;
};

#endif
