#include "SearchApp.h"

#include "ApplicationIcon.h"
#include "SearchDialog.h"
#include "X11WindowFinder.h"

#include <QApplication>

namespace tavolix {

SearchApp::SearchApp() : m_qtArgv{m_programName.data(), nullptr} {}

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

    m_qtApplication = std::make_unique<QApplication>(m_qtArgc, m_qtArgv.data());
    QApplication::setWindowIcon(applicationIcon());

    m_mainDialog = std::make_unique<SearchDialog>();
    // The run's result carries nothing the program uses.
    m_mainDialog->exec();
}

int SearchApp::exitInstance()
{
    m_mainDialog.reset();
    m_qtApplication.reset();
    return 0;
}

} // namespace tavolix
