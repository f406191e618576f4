#pragma once

#include <QColor>

namespace controls {

// How far apart two colours are to the eye: from 1 (the same) to 21 (black on white), by
// their relative luminance (the measure of the web's accessibility guidelines).
double contrastRatio(const QColor &a, const QColor &b);

// The colour, taken darker on a light background or lighter on a dark one, just as far as
// it needs to stand out from the background by the ratio given.
QColor withContrast(const QColor &colour, const QColor &background, double ratio);

} // namespace controls
