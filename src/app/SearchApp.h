#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <memory>
#include <string_view>

class QApplication;

namespace tavolix {

class InstanceLock;
class SearchDialog;

// The application object: lets one instance run, and runs the main dialog.
class SearchApp final
{
public:
    // The title by which a second start recognises the running window.
    static constexpr std::string_view instanceTitle = "Tavolix";

    SearchApp();
    ~SearchApp();
    Q_DISABLE_COPY_MOVE(SearchApp)

    // Brings a running instance to the front and returns at once, or
    // creates the main dialog and returns when its modal run has ended.
    void initInstance();
    // Deletes the main dialog; returns the exit code: 0, or 1 when a running
    // instance could not be asked to come forward.
    int exitInstance();

    SearchDialog* mainDialog() const { return m_mainDialog.get(); }

private:
    static bool activateRunningInstance();
    // Where windows cannot be searched by title: true when this start is
    // not the one to run.
    bool handOverToRunningInstance();
    void bringMainDialogForward(const QByteArray& activationToken);

    // QApplication keeps references to its argc and argv for its lifetime.
    // It gets only a fixed program name: the program reads no command line.
    int m_qtArgc = 1;
    std::array<char, 8> m_programName{"tavolix"};
    std::array<char*, 2> m_qtArgv{};
    int m_exitCode = 0;
    std::unique_ptr<InstanceLock> m_instanceLock;
    // Declared before the dialog so that it is destroyed after it.
    std::unique_ptr<QApplication> m_qtApplication;
    std::unique_ptr<SearchDialog> m_mainDialog;
};

} // namespace tavolix
