#pragma once

#include <QString>
#include <QStringMatcher>

// Finds a text in others without regard to letter case, as a lower-cased
// search of lower-cased texts would. Log lines are nearly all ASCII: for an
// ASCII needle they are searched with a plain loop that folds only ASCII
// letters, and only texts holding other characters go through Qt's folding
// (which also folds signs like the Kelvin sign to a letter).
class TextFinder {
public:
    explicit TextFinder(const QString& needle);

    bool isEmpty() const { return lowerNeedle.isEmpty(); }
    bool foundIn(const QString& haystack) const;

private:
    QString lowerNeedle;
    bool asciiNeedle = true;
    QStringMatcher matcher;
};
