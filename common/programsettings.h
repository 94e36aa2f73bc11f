#pragma once

#include <QString>

// Where the program keeps its own per-user settings: one file per account,
// "settings_<name>" in root's folder "/root/.tessmar" (under the SystemPaths
// prefix that tests set).
namespace ProgramSettings {

QString folder();

// The settings file of an account; empty when the name could not be a login
// name (it becomes part of a path: no '/', no leading '.').
QString filePath(const QString& userName);

} // namespace ProgramSettings
