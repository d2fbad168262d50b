// The system's reason why a ROM could not be opened, in words for the
// informative text under the open-failure message.
#pragma once

#include <QString>

#include "romdata/RomFile.h"

namespace om {

// why and error as RomFile::OpenForUpdate reports them: a lock held
// elsewhere and a file that is not a regular one are said in our words,
// anything else in the system's ("No such file or directory").
QString OpenFailureReason(OpenFailure why, int error);

}  // namespace om
