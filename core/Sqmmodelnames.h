#pragma once

#include <string>
#include <vector>

// The meter models offered, in their fixed order: "LE (Ethernet)", "LR (RS-232)",
// "LU (USB)", "LU-DL (USB)". Index 0 is reached over TCP, the others over a serial port.
std::vector<std::string> ModelNames();
