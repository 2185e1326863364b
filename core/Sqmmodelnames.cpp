#include "core/Sqmmodelnames.h"

std::vector<std::string> ModelNames() {
    return {"LE (Ethernet)", "LR (RS-232)", "LU (USB)", "LU-DL (USB)"};
}
