// Rows of one channel read from an image: screened to dots, or taken as
// dots when the file already holds them.
#pragma once

#include <memory>

#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/Options.h"
#include "tools/rasterjob/RowSource.h"

namespace rasterjob {

// A PBM in a 1-bit job, or a PGM whose maxval is the job's top dot level,
// holds dot levels (level = maxval - sample); everything else is screened.
bool HoldsDots(const ImageReader& image, int bits);

std::unique_ptr<IRowSource> MakeImageSource(std::unique_ptr<ImageReader> image, int bits, ScreenKind screen);

} // namespace rasterjob
