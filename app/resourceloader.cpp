#include "resourceloader.h"

#include <QtGlobal>

void loadProgramResources() {
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(vendors);
}
