#pragma once
// How an audio export tells its progress: the fraction done, 0..1, on the
// exporting thread; returning false cancels it. Shared by the export
// (midi/io) and the window that shows it, which knows no synthesizer.

#include <functional>

namespace halvorn {

using AudioExportProgress = std::function<bool(double fraction)>;

}  // namespace halvorn
