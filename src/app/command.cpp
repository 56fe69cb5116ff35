#include "app/command.h"

namespace kv {

bool needsHistograms(Command command) {
    switch (command) {
    case Command::SaveAsText:
    case Command::Export:
    case Command::Print:
    case Command::NameAndComment:
    case Command::Copy:
    case Command::Paste:
    case Command::AddCopy:
    case Command::Delete:
    case Command::SetLeftBoundary:
    case Command::SetRightBoundary:
    case Command::ClearBoundaries:
    case Command::Smoothing:
    case Command::PeakApproximation:
    case Command::ExtractPeaks:
    case Command::Calibration:
    case Command::Arithmetic:
    case Command::LineSearch:
    case Command::SearchSettings:
        return true;
    default:
        return false;
    }
}

} // namespace kv
