#pragma once

#include <QLoggingCategory>

// Debug lines of the account code; off unless QT_LOGGING_RULES enables them.
Q_DECLARE_LOGGING_CATEGORY(lcUsers)
