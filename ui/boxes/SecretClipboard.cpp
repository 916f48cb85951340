#include "ui/boxes/SecretClipboard.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/Wipe.h"

namespace morvane {

namespace {

const QString kHintFormat = QStringLiteral("x-kde-passwordManagerHint");
const char* const kMarkProperty = "morvaneSecret";

// A digest rather than the text: the guard holds no copy of the secret.
QByteArray DigestOf(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    WipeBytes(bytes.data(), static_cast<std::size_t>(bytes.size()));
    return digest;
}

}  // namespace

void MarkSecret(QMimeData& data)
{
    data.setData(kHintFormat, QByteArrayLiteral("secret"));
    data.setProperty(kMarkProperty, true);
}

bool IsMarkedSecret(const QMimeData* data)
{
    // Our own mark on our own data: asking another program's clipboard for the hint would
    // wait on that program at every change of the clipboard.
    return data && data->property(kMarkProperty).toBool();
}

SecretClipboard::SecretClipboard(QObject* parent) : QObject(parent)
{
    for (Slot* slot : {&clipboard_, &selection_}) {
        slot->timer.setSingleShot(true);
        connect(&slot->timer, &QTimer::timeout, this, [this, slot] { Expire(*slot); });
    }
    if (QClipboard* board = QGuiApplication::clipboard())
        connect(board, &QClipboard::changed, this, &SecretClipboard::Changed);
    // Before the application lets go of the clipboard (on X11 a clipboard manager may take
    // over what it still holds).
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SecretClipboard::ClearPending);
}

SecretClipboard::~SecretClipboard()
{
    ClearPending();
}

void SecretClipboard::SetDelay(std::chrono::milliseconds delay)
{
    delay_ = std::max(delay, std::chrono::milliseconds(1));
    // A secret already waiting keeps its moment; the new delay counts from the next copy.
}

SecretClipboard::Slot* SecretClipboard::SlotOf(QClipboard::Mode mode)
{
    return mode == QClipboard::Clipboard ? &clipboard_ : mode == QClipboard::Selection ? &selection_ : nullptr;
}

bool SecretClipboard::Pending() const
{
    return !clipboard_.digest.isEmpty() || !selection_.digest.isEmpty();
}

void SecretClipboard::Changed(QClipboard::Mode mode)
{
    Slot* slot = SlotOf(mode);
    QClipboard* board = QGuiApplication::clipboard();
    if (!slot || !board)
        return;
    const QMimeData* data = board->mimeData(mode);
    // Anything else copied since leaves a waiting secret waiting: a clipboard manager may have
    // taken the same text over, and the expiry looks at what the clipboard holds then.
    if (!IsMarkedSecret(data))
        return;
    slot->digest = DigestOf(data->text());
    slot->timer.start(delay_);
}

void SecretClipboard::Expire(Slot& slot)
{
    if (slot.digest.isEmpty())
        return;
    const QByteArray digest = slot.digest;
    slot.digest.clear();
    slot.timer.stop();
    QClipboard* board = QGuiApplication::clipboard();
    if (!board)
        return;
    // Only the secret itself goes: whatever the user copied since stays, even if it came from
    // another program that took the text over.
    const QMimeData* data = board->mimeData(slot.mode);
    if (data && data->hasText() && DigestOf(data->text()) == digest)
        board->clear(slot.mode);
}

void SecretClipboard::ClearPending()
{
    Expire(clipboard_);
    Expire(selection_);
}

}  // namespace morvane
