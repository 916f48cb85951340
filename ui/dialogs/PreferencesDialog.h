// The preferences dialog: the clipboard's clearing delay and the idle lock's delay.
#pragma once

#include <QDialog>
#include <optional>

#include "ui/common/Preferences.h"

class QSpinBox;

namespace morvane {

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(const Preferences& prefs, QWidget* parent = nullptr);

    // What the fields hold now.
    Preferences Values() const;
    QSpinBox* clipboardField() const { return clipboard_; }
    QSpinBox* lockField() const { return lock_; }

    // Shows the dialog modally; the new values on OK, nothing on Cancel.
    static std::optional<Preferences> Edit(const Preferences& prefs, QWidget* parent);

private:
    QSpinBox* clipboard_ = nullptr;
    QSpinBox* lock_ = nullptr;
};

}  // namespace morvane
