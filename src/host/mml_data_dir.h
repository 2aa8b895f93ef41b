// Where the program finds its own files: the resource catalogue
// "KelLnkResource", the demo data (demo/) and the example site scripts
// (scripts/site/).
//
// Nothing of the machine that built the program is compiled in. The files are
// looked for next to the running program, so that a build tree and an
// installed tree (moved or not) both work as they are:
//   <program directory>/../share/mml   an installed tree (bin/mml)
//   <program directory>/share/mml      a build tree (the build links it there)
// A site that keeps the files elsewhere names their directory with the
// environment variable MML_RESOURCES, which then wins.
#pragma once

#include <string>

// The directory of the running program (from /proc/self/exe), without a
// trailing slash; empty when the system does not tell.
std::string MmlProgramDirectory();

// MML_RESOURCES when set and not empty; else the first directory of the list
// above that holds "KelLnkResource"; else the installed-tree directory (which
// then does not exist, so that messages name where the files were expected).
std::string MmlDataDirectory();
