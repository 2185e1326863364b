#pragma once

#include "astro/Sky.h"

#include <cstdint>
#include <string>

// A deterministic stretch of simulated readings as skyglow data files, one per night: the
// real Sun and Moon over the site, a natural sky of 21.8 mag/arcsec^2 with light pollution
// that brightens by TrendPerYear, and each night clear, overcast or broken cloud by a fixed
// pseudo-random sequence. The same options always give the same bytes (local time by TZ).
struct TSimulatedYearOptions {
    std::string Folder;
    int Year = 2025;
    int Years = 1;
    int Days = 0; // when not 0: only that many nights from 1 January
    int StepSeconds = 60;
    TPosition Site{52.16, 4.49, 2};
    std::string SiteName = "Simulated Meadow";
    double TrendPerYear = 0.1; // mag/arcsec^2 of brightening a year
};

// Writes the files; returns the number of readings written. Raises Exception when a file
// cannot be written.
std::size_t WriteSimulatedYear(const TSimulatedYearOptions& options);
