#include "SearchApp.h"

#include "ApplicationIcon.h"
#include "InstanceLock.h"
#include "SearchDialog.h"
#include "WindowSystem.h"
#include "X11WindowFinder.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <cstdio>

namespace tavolix {
namespace {

// The middle of the screen the pointer is on.
QPoint centredPosition(const QWidget& window)
{
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return window.pos();
    const QRect available = screen->availableGeometry();
    return available.topLeft() + QPoint((available.width() - window.width()) / 2,
                                        (available.height() - window.height()) / 2);
}

} // namespace

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

bool SearchApp::handOverToRunningInstance()
{
    m_instanceLock = std::make_unique<InstanceLock>(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    switch (m_instanceLock->takeOrHandOver(qgetenv("XDG_ACTIVATION_TOKEN"))) {
    case InstanceLock::Outcome::First:
        return false;
    case InstanceLock::Outcome::HandedOver:
        return true;
    case InstanceLock::Outcome::NoAnswer:
        break;
    }
    std::fputs("tavolix: another instance is running but does not answer\n", stderr);
    m_exitCode = 1;
    return true;
}

// The compositor decides whether a window may take the focus; the token that
// the later start was launched with lets this one.
void SearchApp::bringMainDialogForward(const QByteArray& activationToken)
{
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    m_mainDialog->setWindowState(m_mainDialog->windowState() & ~Qt::WindowMinimized);
    m_mainDialog->show();
    m_mainDialog->raise();
    m_mainDialog->activateWindow();
}

void SearchApp::initInstance()
{
    if (chooseWindowSystem() ? activateRunningInstance() : handOverToRunningInstance())
        return;

    m_qtApplication = std::make_unique<QApplication>(m_qtArgc, m_qtArgv.data());
    QApplication::setWindowIcon(applicationIcon());

    m_mainDialog = std::make_unique<SearchDialog>();
    if (m_instanceLock) {
        QObject::connect(m_instanceLock.get(), &InstanceLock::comeForwardRequested,
                         m_mainDialog.get(),
                         [this](const QByteArray& token) { bringMainDialogForward(token); });
        m_instanceLock->listen();
    }
    // Made where it will stand. Left to the dialog, the window would be made
    // at (0, 0) and moved just before it is mapped. Qt reads that move's
    // notification by asking the X server where the window is; once the
    // window manager has framed the window but not yet placed the frame, the
    // answer is (0, 0), and as the window then ends where it asked to be, no
    // later notice corrects it. Until its first move the window would take
    // itself to stand at (0, 0), and the first drag by the title strip would
    // ask the manager to move it from a point off by its own position.
    m_mainDialog->move(centredPosition(*m_mainDialog));
    // The run's result carries nothing the program uses.
    m_mainDialog->exec();
}

int SearchApp::exitInstance()
{
    m_mainDialog.reset();
    m_instanceLock.reset();
    m_qtApplication.reset();
    return m_exitCode;
}

} // namespace tavolix
