// The lists in the assembled program against the simulated PBX.
#include "tests/app/e2e/e2erig.h"
