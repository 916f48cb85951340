// The clipboard that forgets: text copied from a line of a private key's record carries the
// password managers' hint "x-kde-passwordManagerHint: secret", so that clipboard histories
// skip it, and is cleared again after a delay if the clipboard (or the X11 selection) still
// holds it. A pending secret is cleared when the program quits.
#pragma once

#include <QByteArray>
#include <QClipboard>
#include <QObject>
#include <QTimer>
#include <chrono>

class QMimeData;

namespace morvane {

// Adds the secret hint to data (and marks it as the program's own secret).
void MarkSecret(QMimeData& data);
// Whether data is a secret MarkSecret marked.
bool IsMarkedSecret(const QMimeData* data);

class SecretClipboard : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultDelay{30000};

    explicit SecretClipboard(QObject* parent = nullptr);
    ~SecretClipboard() override;

    void SetDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds Delay() const { return delay_; }
    // Whether a secret waits to be cleared from the clipboard or the selection.
    bool Pending() const;
    // Clears at once every secret that is still where it was copied to.
    void ClearPending();

private:
    struct Slot {
        explicit Slot(QClipboard::Mode m) : mode(m) {}
        QClipboard::Mode mode;
        QTimer timer;
        QByteArray digest;  // of the secret text; the text itself is not kept here
    };
    void Changed(QClipboard::Mode mode);
    void Expire(Slot& slot);
    Slot* SlotOf(QClipboard::Mode mode);

    std::chrono::milliseconds delay_ = kDefaultDelay;
    Slot clipboard_{QClipboard::Clipboard};
    Slot selection_{QClipboard::Selection};
};

}  // namespace morvane
