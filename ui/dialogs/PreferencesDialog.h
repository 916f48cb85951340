// The preferences dialog: the clipboard's clearing delay, the idle lock's delay and the
// language (taken at the next start).
#pragma once

#include <QDialog>
#include <optional>

#include "ui/common/Preferences.h"

class QComboBox;
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
    QComboBox* languageField() const { return language_; }

    // Shows the dialog modally; the new values on OK, nothing on Cancel.
    static std::optional<Preferences> Edit(const Preferences& prefs, QWidget* parent);

private:
    QSpinBox* clipboard_ = nullptr;
    QSpinBox* lock_ = nullptr;
    QComboBox* language_ = nullptr;
};

}  // namespace morvane
