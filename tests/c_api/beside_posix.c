// radio_sdk.h must compile beside the C library's headers (an SDK name that
// the C library also declares, such as logout, breaks the build here).
#include "beside_posix.h"
#include "radio_sdk.h"
