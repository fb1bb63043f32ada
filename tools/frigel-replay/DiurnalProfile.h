// The shape of a day between its measured minimum and maximum: the
// fractions of the daily range by hour that the ASHRAE Handbook gives for
// generating design-day temperatures (ASHRAE Handbook - Fundamentals,
// chapter 14 "Climatic Design Information", section "Generating Design-Day
// Data", Table 6 "Fraction of Daily Temperature Range"; the same table in
// the 2009 to 2021 editions). The hour's temperature is the maximum less
// the fraction times the range: fraction 1 at 05:00 (the minimum), 0 at
// 14:00 and 15:00 (the maximum). The hourly shape is a model; only the
// extremes are measured.
#ifndef FRIGEL_REPLAY_DIURNALPROFILE_H
#define FRIGEL_REPLAY_DIURNALPROFILE_H

// The fraction for `hour` 1-24 (24 is the midnight that ends the day).
double fractionOfDailyRange(int hour);

// The temperature at `hour` 1-24 of a day with these extremes.
double diurnalCelsius(double minimumCelsius, double maximumCelsius, int hour);

#endif
