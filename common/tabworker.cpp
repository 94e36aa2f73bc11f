#include "tabworker.h"

Q_LOGGING_CATEGORY(lcTabWorker, "tessmar.worker", QtWarningMsg)
