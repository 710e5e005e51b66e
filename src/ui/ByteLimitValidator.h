#pragma once

#include <QValidator>

namespace tavolix {

// Accepts a text only while its UTF-8 form has at most a given number of
// bytes, so an edit that would go beyond that is never taken: the worker keeps
// the login in fixed-size copies (loginFieldSize), and "ä" alone takes two bytes.
class ByteLimitValidator final : public QValidator
{
    Q_OBJECT

public:
    ByteLimitValidator(qsizetype maxBytes, QObject* parent);
    Q_DISABLE_COPY_MOVE(ByteLimitValidator)

    State validate(QString& input, int& position) const override;

private:
    const qsizetype m_maxBytes;
};

} // namespace tavolix
