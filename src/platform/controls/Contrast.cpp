#include "platform/controls/Contrast.h"

#include <algorithm>
#include <cmath>

namespace controls {

namespace {

double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor withContrast(const QColor &colour, const QColor &background, double ratio)
{
    const QColor pole = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor result = colour;
    // Towards black or white in small steps, so the colour keeps its hue and stays as
    // light (or as dark) as the ratio allows.
    for (int step = 1; step <= 100 && contrastRatio(result, background) < ratio; ++step) {
        auto towards = [step](int from, int to) { return from + (to - from) * step / 100; };
        result = QColor(towards(colour.red(), pole.red()), towards(colour.green(), pole.green()),
                        towards(colour.blue(), pole.blue()));
    }
    return result;
}

} // namespace controls
