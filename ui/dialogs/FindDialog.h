// The find dialog: a modeless view over FindSession. Its buttons call the session and copy
// the session's fields back into the widgets. However it closes (its close button, Enter,
// Esc, the window manager), the session is closed, so the tree's menus come back.
#pragma once

#include <QDialog>

#include "book/FindItems.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvane {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    // Runs the find command's preset, which disables the tree's menus until the dialog closes.
    FindDialog(KeyTree& tree, QWidget* parent = nullptr);
    ~FindDialog() override;

    // Creates the dialog, shows and raises it; it deletes itself when closed.
    static FindDialog* Open(KeyTree& tree, QWidget* parent);

    const FindSession& session() const { return session_; }
    QLineEdit* textField() const { return text_; }
    QCheckBox* directoryBox() const { return directories_; }
    QCheckBox* keyBox() const { return keys_; }
    QCheckBox* lockBox() const { return locks_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* searchButton() const { return search_; }
    QPushButton* closeButton() const { return close_; }
    QLabel* statusPane() const { return status_; }

    void done(int result) override;

private:
    void Sync();
    void Finish();

    FindSession session_;
    bool finished_ = false;
    QLineEdit* text_ = nullptr;
    QCheckBox* directories_ = nullptr;
    QCheckBox* keys_ = nullptr;
    QCheckBox* locks_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* close_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace morvane
