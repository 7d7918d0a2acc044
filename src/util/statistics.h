// statistics.h -- summary figures of a list of measurements.
//
// Provides: Summary, summarise, percentile, spread.
// Used by the benchmark's script functions to reduce frame times, polygon
// counts and error figures; plain functions, any thread.
#pragma once

#include <vector>

// Figures of one list of values. NaN values are left out (they have no
// place in an order); count is the number of values used. With none every
// figure is 0 and count is 0.
struct Summary {
    int count = 0;
    double min = 0.0;
    double median = 0.0;
    double p95 = 0.0;  // 95th percentile
    double max = 0.0;
    double mean = 0.0;
};

Summary summarise(std::vector<double> values);

// The p-th percentile (0..100) of values sorted ascending, interpolated
// linearly between the two nearest ranks (rank p/100 x (n - 1), counted
// from 0): the median of an even count is the mean of the middle two, the
// 0th is the smallest and the 100th the largest. 0 for an empty list.
double percentile(const std::vector<double>& sorted, double p);

// How far apart repeated measurements are: largest / smallest - 1 (0.05 is
// 5 %) of the values that are not NaN. 0 for fewer than two such values;
// infinite when the smallest is 0 or less and the largest is not equal to it.
double spread(const std::vector<double>& values);
