// The same for the C++ header.
#include "beside_posix.h"
#include "radio_sdk.hpp"
