#pragma once

// A clear night at a suburban site as a meter sees it: bright daylight, dusk darkening to
// about 21.3 MPSAS, a cloud that brightens the sky before midnight, the Moon rising after
// 01:30, dawn. hour is the local clock time in hours, 0 to 24.
double NightSkyMagnitude(double hour);
// The sensor's temperature over the same night: falls after sunset, rises after dawn.
double NightTemperature(double hour);
