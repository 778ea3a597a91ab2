// rastertomimaki: the CUPS filter. CUPS raster in (standard input or the
// file argument), the printer's stream out on standard output, through the
// plug-in in the host's order, one printer job per page.
#pragma once

namespace rastertomimaki {

// argv as CUPS passes it: queue, job id, user, title, copies, options
// [, file]. The queue's PPD is $PPD. Exit status 0 when every page went
// out whole; 1 otherwise, with one "ERROR:" line.
int FilterMain(int argc, const char* const* argv);

} // namespace rastertomimaki
