// The add item dialog: a modal view over AddItemForm. The name is checked against the
// siblings of the item the menu was opened on while it is typed; the field turns red on a
// taken name and OK is offered only when the form allows it.
#pragma once

#include <QDialog>

#include "book/AddItem.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace morvane {

class AddItemDialog : public QDialog {
    Q_OBJECT
public:
    AddItemDialog(KeyTree& tree, QWidget* parent = nullptr);

    // Runs the dialog modally; the item it added, or none when cancelled.
    static Node Run(KeyTree& tree, QWidget* parent);

    const AddItemForm& form() const { return form_; }
    Node added() const { return added_; }
    QLineEdit* nameField() const { return name_; }
    // The radio button of a kind mask (1 directory, 2 key, 4 lock); null for any other mask.
    QRadioButton* kindButton(unsigned mask) const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* statusPane() const { return status_; }

    // OK: adds the item through the form; the dialog stays open when the form refuses.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartTyping();
    void Sync();

    KeyTree& tree_;
    AddItemForm form_;
    Node added_;
    QLineEdit* name_ = nullptr;
    QRadioButton* directory_ = nullptr;
    QRadioButton* key_ = nullptr;
    QRadioButton* lock_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace morvane
