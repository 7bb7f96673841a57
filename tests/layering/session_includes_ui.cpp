// Compiled as part of the session layer by the layering test only: it must not find this header.
#include "ui/frm_main.h"
