// The strength selector: shown for a lock's or key's strength line; picking another strength
// (after confirmation) clears the key data and rewrites the line.
#pragma once

#include <QComboBox>

namespace morvane {

class KeyTree;

class StrengthSelector : public QComboBox {
    Q_OBJECT
public:
    StrengthSelector(KeyTree& tree, QWidget* parent = nullptr);
    // Shows or hides the selector on the entry the selection display picked (0..3), which it
    // remembers as the strength of the line being shown.
    void Apply(bool visible, int index);
    int Remembered() const { return remembered_; }

Q_SIGNALS:
    // The strength line (or the key's lines) changed.
    void lineChanged();

private:
    void Picked(int index);
    void ShowEntry(int index);

    KeyTree& tree_;
    int remembered_ = 0;
};

}  // namespace morvane
