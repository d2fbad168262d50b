#include "app/OpenFailureReason.h"

#include <cstring>

namespace om {

QString OpenFailureReason(OpenFailure why, int error) {
    switch (why) {
    case OpenFailure::Locked:
        return QStringLiteral(
            "The file is locked by another program: another editor has it open, or a command "
            "is writing it.");
    case OpenFailure::NotRegular:
        return QStringLiteral("It is not a regular file: a folder, a device, a pipe or the like.");
    case OpenFailure::None:
    case OpenFailure::CannotOpen:
        break;
    }
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
}

}  // namespace om
