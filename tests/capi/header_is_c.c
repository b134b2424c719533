/* The C interface header compiles as C, with every declaration a C host sees. */
#include "kelvophotos/kelvophotos.h"

const char* kp_header_is_c(void) {
    return kp_version();
}
