#pragma once

#include <QList>
#include <QString>
#include <optional>

class QIODevice;

// Text in, values out: the parts of systemd's output and unit files that the
// Services page shows. No I/O beyond the device handed in.
namespace UnitFileParser {

struct UnitFileEntry {
    QString unitName;
    QString state;
};

// Lines of "systemctl list-unit-files --no-legend": the first two
// blank-separated words of each line (name, state). Lines without a name
// are skipped; a line with a name only gives an empty state.
QList<UnitFileEntry> parseListing(const QString& output);

// Whether the page lists a unit in this state: only enabled and disabled
// ones unless every state is asked for.
bool isListed(const QString& state, bool showOtherStates);

// The value of the first line that starts with "Description=", trimmed,
// everything after the first '='. Reads no further than that line. Empty
// optional when the file has no such line.
std::optional<QString> readDescription(QIODevice& unitFile);

// A name that can be looked up as a file in a unit folder (no '/', not a
// dot name), so listing text can never lead a read elsewhere.
bool isPlainUnitFileName(const QString& unitName);

} // namespace UnitFileParser
