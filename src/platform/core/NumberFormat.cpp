#include "platform/core/NumberFormat.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace core {

namespace {

struct Picture {
    QString prefix;
    QString suffix;
    int minInt = 0;
    int minFrac = 0;
    int maxFrac = 0;
    bool thousands = false;
    bool hasDigits = false;
};

// Splits a picture into its sections, keeping quoted text intact.
QStringList sections(const QString &picture)
{
    QStringList result;
    QString current;
    QChar quote;
    for (QChar c : picture) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            current += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            current += c;
        } else if (c == QLatin1Char(';')) {
            result.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    result.append(current);
    return result;
}

Picture parsePicture(const QString &section)
{
    Picture p;
    bool inFraction = false;
    bool seenDigit = false;
    QString literal;
    QChar quote;
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                literal += c;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (!seenDigit) {
                p.prefix = literal;
                seenDigit = true;
            }
            literal.clear();
            if (inFraction) {
                ++p.maxFrac;
                if (c == QLatin1Char('0'))
                    p.minFrac = p.maxFrac;
            } else if (c == QLatin1Char('0')) {
                ++p.minInt;
            }
        } else if (c == QLatin1Char('.') && !inFraction) {
            if (!seenDigit) {
                p.prefix = literal;
                seenDigit = true;
            }
            literal.clear();
            inFraction = true;
        } else if (c == QLatin1Char(',') && !inFraction) {
            p.thousands = true;
        } else {
            literal += c;
        }
    }
    if (seenDigit)
        p.suffix = literal;
    else
        p.prefix = literal;
    p.hasDigits = seenDigit;
    return p;
}

QString groupThousands(const QString &digits)
{
    QString result;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            result += QLatin1Char(',');
        result += digits.at(i);
    }
    return result;
}

} // namespace

QString formatFloat(const QString &picture, double value)
{
    if (picture.isEmpty())
        return numberText(value);
    if (!std::isfinite(value))
        return numberText(value);
    const QStringList parts = sections(picture);
    QString section = parts.at(0);
    bool negativeSection = false;
    if (value < 0 && parts.size() > 1 && !parts.at(1).isEmpty()) {
        section = parts.at(1);
        negativeSection = true;
    }
    const Picture p = parsePicture(section);
    if (!p.hasDigits)
        return p.prefix;

    const double magnitude = std::fabs(value);
    // Fixed notation with the largest number of fraction digits, then trim the optional ones.
    QString fixed = QString::number(magnitude, 'f', p.maxFrac);
    QString intPart = fixed;
    QString fracPart;
    const qsizetype dot = fixed.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        intPart = fixed.left(dot);
        fracPart = fixed.mid(dot + 1);
    }
    while (fracPart.size() > p.minFrac && fracPart.endsWith(QLatin1Char('0')))
        fracPart.chop(1);

    const bool roundsToZero = intPart.count(QLatin1Char('0')) == intPart.size()
                              && fracPart.count(QLatin1Char('0')) == fracPart.size();
    if (roundsToZero && parts.size() > 2 && !parts.at(2).isEmpty())
        return formatFloat(parts.at(2), 0.0);

    if (intPart == QLatin1String("0"))
        intPart.clear();
    while (intPart.size() < p.minInt)
        intPart.prepend(QLatin1Char('0'));
    if (p.thousands)
        intPart = groupThousands(intPart);

    QString result = p.prefix + intPart;
    if (!fracPart.isEmpty())
        result += QLatin1Char('.') + fracPart;
    result += p.suffix;
    if (value < 0 && !negativeSection && !roundsToZero)
        result.prepend(QLatin1Char('-'));
    return result;
}

QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return QString::number(qint64(value));
    // Fifteen digits hide the noise of binary fractions (0.1 + 0.2 shows as 0.3), but near
    // the largest number they round above it: such a text would not read back, and the
    // shortest text that does is shown instead.
    const QString text = QString::number(value, 'g', 15);
    double back = 0;
    if (!parseNumber(text, &back))
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    return text;
}

bool parseNumber(const QString &text, double *value)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (!t.contains(QLatin1Char('.')))
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace core
