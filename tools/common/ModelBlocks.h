// The embedded print-condition block that stands for each model's own data
// where the printer has not been asked: what the virtual printer answers
// and what a PPD offers when the printer's settings hold no data.
#pragma once

namespace modelblocks {

// The embedded table entry of a UID (its low 8 bits), or null when no block
// fits the model.
const wchar_t* EmbeddedBlockOf(int uid);

} // namespace modelblocks
