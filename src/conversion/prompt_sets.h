#pragma once

#include "conversion/output_format.h"

#include <QString>

namespace quillfen {

// Where the prompt sets of formats other than the standard one are kept:
// $XDG_CACHE_HOME/quillfen/<version> (~/.cache/quillfen/<version> without it). A new version may
// make its prompts differently, so it starts with sets of its own.
QString defaultPromptCache();

// The directory of the prompt set that `format` is joined from: `programDir` for the standard set,
// otherwise <cacheRoot>/<promptSetKey(format)>, which the program directory's ttyprompts makes on
// first use. A set appears there whole or not at all: it is made in a temporary directory beside
// it and renamed into place, so runs at the same time never see half a set, and when two make the
// same set the first one stays. Blocks while the set is made (milliseconds). Throws AppError when
// it cannot be made; nothing is left behind then.
QString promptSetDirectory(const OutputFormat& format, const QString& programDir,
                           const QString& cacheRoot = defaultPromptCache());

} // namespace quillfen
