#include "LanguageSwitch.h"

#include "InterfaceColumns.h"
#include "LanguageDb.h"

#include <QComboBox>

namespace tavolix {

LanguageSwitch::LanguageSwitch(QComboBox& languageBox, LanguageTextTarget& target)
    : languageBox_(languageBox), target_(target), db_(std::make_unique<LanguageDb>(languageBox))
{}

LanguageSwitch::~LanguageSwitch() = default;

void LanguageSwitch::openLanguageDb(const QString& path)
{
    db_->openLanguageDb(path);
}

void LanguageSwitch::closeLanguageDb()
{
    db_->closeLanguageDb();
}

void LanguageSwitch::initLanguageTexts()
{
    const std::optional<int> stored = db_->readStoredLanguage();
    if (!stored)
        return; // the window keeps its template captions and an empty box
    storedLanguage_ = *stored;
    switchTo(storedLanguage_);
}

void LanguageSwitch::applyLanguage()
{
    switchTo(languageBox_.currentIndex());
}

int LanguageSwitch::storedLanguage() const
{
    return storedLanguage_;
}

int LanguageSwitch::currentLanguage() const
{
    return currentLanguage_;
}

void LanguageSwitch::switchTo(int language)
{
    const std::optional<int> chosen = fillLanguageBox(language);
    if (!chosen)
        return;
    const std::optional<QList<InterfaceText>> texts = db_->readInterfaceTexts(*chosen);
    if (!texts)
        return;
    for (const InterfaceText& entry : *texts) {
        for (const int controlId : controlsForColumn(entry.column))
            target_.setInterfaceText(controlId, entry.text);
    }
    currentLanguage_ = *chosen;
    // Rewriting the number the table already holds would only turn a
    // read-only file into a message at every start. A failed store has been
    // reported; the texts stay switched regardless.
    if (currentLanguage_ != storedLanguage_ &&
        db_->storeLanguage(currentLanguage_, storedLanguage_))
        storedLanguage_ = currentLanguage_;
    target_.languageApplied();
}

std::optional<int> LanguageSwitch::fillLanguageBox(int language)
{
    languageBox_.clear();
    std::optional<QStringList> names = db_->listLanguageNames(language);
    if (!names)
        return std::nullopt;
    if (language != 0 && (language < 0 || language >= names->size())) {
        // The box has no entry for this number; applying and storing it would
        // leave the box empty at every later start.
        language = 0;
        names = db_->listLanguageNames(language);
        if (!names)
            return std::nullopt;
    }
    languageBox_.addItems(*names);
    languageBox_.setCurrentIndex(language < languageBox_.count() ? language : -1);
    return language;
}

} // namespace tavolix
