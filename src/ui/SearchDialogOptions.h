#pragma once

#include "NetworkWorker.h"

#include <QString>

namespace tavolix {

// Where the dialog finds its outside world. The program always uses the
// defaults; tests point the worker at loopback and the files at temp paths.
struct SearchDialogOptions
{
    WorkerEndpoints endpoints;
    // Its mere existence at start-up shows the MAC field.
    QString markerFile = QStringLiteral("/tmp/webcam/Search.conf");
    QString languageDbPath = QStringLiteral("language.db");
};

} // namespace tavolix
