#pragma once

#include <QPushButton>

namespace tavolix {

// The dialog's push button. It is never a default button, so the Enter key
// never clicks it.
class BitmapButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit BitmapButton(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(BitmapButton)

    void setTextColor(const QColor& colour);
};

} // namespace tavolix
