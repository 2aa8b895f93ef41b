// The site files and their lock are shared with synchronisation: see
// operations/kel_lnk_site_files.h.
#pragma once

#include "operations/kel_lnk_site_files.h"
