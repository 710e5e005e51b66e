#include "LanguageSwitch.h"

#include "InterfaceColumns.h"
#include "LanguageDb.h"

#include <QComboBox>

namespace tavolix {

LanguageSwitch::LanguageSwitch(QComboBox& languageBox, LanguageTextTarget& target)
    : m_languageBox(languageBox), m_target(target), m_db(std::make_unique<LanguageDb>(languageBox))
{}

LanguageSwitch::~LanguageSwitch() = default;

void LanguageSwitch::openLanguageDb(const QString& path)
{
    m_db->openLanguageDb(path);
}

void LanguageSwitch::closeLanguageDb()
{
    m_db->closeLanguageDb();
}

void LanguageSwitch::initLanguageTexts()
{
    const std::optional<int> stored = m_db->readStoredLanguage();
    if (!stored)
        return; // the window keeps its template captions and an empty box
    m_storedLanguage = *stored;
    switchTo(m_storedLanguage);
}

void LanguageSwitch::applyLanguage()
{
    switchTo(m_languageBox.currentIndex());
}

int LanguageSwitch::storedLanguage() const
{
    return m_storedLanguage;
}

int LanguageSwitch::currentLanguage() const
{
    return m_currentLanguage;
}

void LanguageSwitch::switchTo(int language)
{
    const std::optional<int> chosen = fillLanguageBox(language);
    if (!chosen)
        return;
    const std::optional<QList<InterfaceText>> texts = m_db->readInterfaceTexts(*chosen);
    if (!texts)
        return;
    for (const InterfaceText& entry : *texts) {
        for (const ControlId controlId : controlsForColumn(entry.column))
            m_target.setInterfaceText(controlId, entry.text);
    }
    m_currentLanguage = *chosen;
    // Rewriting the number the table already holds would only turn a
    // read-only file into a message at every start. A failed store has been
    // reported; the texts stay switched regardless.
    if (m_currentLanguage != m_storedLanguage &&
        m_db->storeLanguage(m_currentLanguage, m_storedLanguage))
        m_storedLanguage = m_currentLanguage;
    m_target.languageApplied();
}

std::optional<int> LanguageSwitch::fillLanguageBox(int language)
{
    m_languageBox.clear();
    std::optional<QStringList> names = m_db->listLanguageNames(language);
    if (!names)
        return std::nullopt;
    if (language != 0 && (language < 0 || language >= names->size())) {
        // The box has no entry for this number; applying and storing it would
        // leave the box empty at every later start.
        language = 0;
        names = m_db->listLanguageNames(language);
        if (!names)
            return std::nullopt;
    }
    m_languageBox.addItems(*names);
    m_languageBox.setCurrentIndex(language < m_languageBox.count() ? language : -1);
    return language;
}

} // namespace tavolix
