#pragma once

#include <string>

#include "store/mytypes.h"

// Reads a server list file ("*.zsl"); raises EZerval when it cannot be read or is malformed.
TServerList ReadServerListFile(const std::string& fileName);
