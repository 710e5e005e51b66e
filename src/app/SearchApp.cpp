#include "SearchApp.h"

#include "ApplicationIcon.h"
#include "SearchDialog.h"
#include "X11WindowFinder.h"

#include <QApplication>

namespace tavolix {

SearchApp::SearchApp() : qtArgv_{programName_.data(), nullptr} {}

SearchApp::~SearchApp() = default;

bool SearchApp::activateRunningInstance()
{
    // Checked before Qt connects, so a second start creates no window at all.
    const X11WindowFinder finder;
    const auto running = finder.find(instanceTitle);
    if (!running)
        return false;
    finder.activate(*running);
    return true;
}

void SearchApp::initInstance()
{
    if (activateRunningInstance())
        return;

    qtApplication_ = std::make_unique<QApplication>(qtArgc_, qtArgv_.data());
    QApplication::setWindowIcon(applicationIcon());

    mainDialog_ = std::make_unique<SearchDialog>();
    // The run's result carries nothing the program uses.
    mainDialog_->exec();
}

int SearchApp::exitInstance()
{
    mainDialog_.reset();
    qtApplication_.reset();
    return 0;
}

} // namespace tavolix
