// The warning a paste shows when a pasted item's name is already taken at the target: the
// clashing item's kind icon beside the message, and OK.
#pragma once

#include <QDialog>

class QLabel;

namespace morvane {

class NameClashDialog : public QDialog {
    Q_OBJECT
public:
    // text: the message; kind: the clashing item's kind code, which picks the icon.
    NameClashDialog(const QString& text, int kind, QWidget* parent = nullptr);

    QLabel* iconLabel() const { return icon_; }
    QLabel* textLabel() const { return text_; }

private:
    QLabel* icon_ = nullptr;
    QLabel* text_ = nullptr;
};

}  // namespace morvane
