#pragma once

// Contract between the window and the language switch. The localisation work
// fills in the implementation and may add private members, but keeps these
// public names.

#include "ControlId.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

class QComboBox;
class QWidget;

namespace tavolix {

// What the switch needs from the window: set a control's text by its id, and
// repaint everything once a switch has been applied.
class LanguageTextTarget
{
public:
    virtual void setInterfaceText(ControlId controlId, const QString& text) = 0;
    virtual void languageApplied() = 0;

protected:
    ~LanguageTextTarget() = default;
};

class LanguageDb;

// Fills the language box, applies the interface texts of the chosen language
// and stores the choice in the language database.
class LanguageSwitch final
{
public:
    LanguageSwitch(QComboBox& languageBox, LanguageTextTarget& target);
    ~LanguageSwitch();
    Q_DISABLE_COPY_MOVE(LanguageSwitch)

    void openLanguageDb(const QString& path); // "language.db" in the program
    void closeLanguageDb();
    void initLanguageTexts(); // start-up: stored language
    void applyLanguage();     // handler of the box's selection change

    int storedLanguage() const;
    int currentLanguage() const;

private:
    void switchTo(int language);
    std::optional<int> fillLanguageBox(int language);

    QComboBox& m_languageBox;
    LanguageTextTarget& m_target;
    std::unique_ptr<LanguageDb> m_db;
    int m_storedLanguage = -1;  // the number table `current` holds; -1 until read
    int m_currentLanguage = -1; // the language applied last; -1 before the first
};

} // namespace tavolix
