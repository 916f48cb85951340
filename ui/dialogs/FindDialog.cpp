#include "ui/dialogs/FindDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "book/Records.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/StatusPanes.h"
#include "ui/skin/Artwork.h"

namespace morvane {

namespace {

QCheckBox* KindBox(const QString& text, ItemKind kind, const char* name, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setIcon(skin::KindIcon(KindCode(kind)));
    return box;
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

FindDialog::FindDialog(KeyTree& tree, QWidget* parent) : QDialog(parent), session_(tree)
{
    setObjectName(QStringLiteral("findDialog"));
    setWindowTitle(tr("按名称类别搜索通讯簿"));
    setModal(false);

    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("findText"));
    text_->setAccessibleName(tr("名称"));
    directories_ = KindBox(tr("目录"), ItemKind::Directory, "findDirectories", this);
    keys_ = KindBox(tr("钥匙"), ItemKind::Key, "findKeys", this);
    locks_ = KindBox(tr("锁"), ItemKind::Lock, "findLocks", this);
    previous_ = Button(tr("前一项"), "findPrevious", this);
    next_ = Button(tr("后一项"), "findNext", this);
    search_ = Button(tr("搜索"), "findSearch", this);
    close_ = Button(tr("关闭"), "findClose", this);
    // Enter outside a focused button closes, like Esc, so neither leaves the menus disabled.
    close_->setDefault(true);

    auto* kinds = new QHBoxLayout;
    kinds->addWidget(directories_);
    kinds->addWidget(keys_);
    kinds->addWidget(locks_);
    kinds->addStretch(1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {previous_, next_, search_, close_})
        buttons->addWidget(b, 1);

    auto* content = new QVBoxLayout;
    content->addWidget(text_);
    content->addLayout(kinds);
    content->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    content->setContentsMargins(margin, margin, margin, margin);
    outer->addLayout(content);
    outer->addWidget(MakeStatusPanes(this, status_));
    // Wide enough for a long name; the height stays that of the content.
    setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    outer->setSizeConstraint(QLayout::SetMinimumSize);

    connect(text_, &QLineEdit::textEdited, this, [this](const QString& text) { session_.text = ToGbk(text); });
    connect(directories_, &QCheckBox::toggled, this, [this](bool on) { session_.directories = on; });
    connect(keys_, &QCheckBox::toggled, this, [this](bool on) { session_.keys = on; });
    connect(locks_, &QCheckBox::toggled, this, [this](bool on) { session_.locks = on; });
    connect(search_, &QPushButton::clicked, this, [this] {
        session_.Search();
        Sync();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        session_.Next();
        Sync();
    });
    connect(previous_, &QPushButton::clicked, this, [this] {
        session_.Previous();
        Sync();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    Sync();
    text_->selectAll();
    text_->setFocus();
}

FindDialog::~FindDialog()
{
    // Destroyed without closing (its parent went first): the menus still come back.
    Finish();
}

FindDialog* FindDialog::Open(KeyTree& tree, QWidget* parent)
{
    auto* dialog = new FindDialog(tree, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void FindDialog::done(int result)
{
    // Every way of closing ends here: the close button, Esc, Enter and the window manager's
    // close (through reject()).
    Finish();
    QDialog::done(result);
}

void FindDialog::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    session_.Close();
}

void FindDialog::Sync()
{
    const QString text = ToQt(session_.text);
    if (text_->text() != text)
        text_->setText(text);
    const std::pair<QCheckBox*, bool> boxes[] = {
        {directories_, session_.directories}, {keys_, session_.keys}, {locks_, session_.locks}};
    for (const auto& [box, on] : boxes) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
    // A focused step button that goes off hands the focus to the other one, or to "搜索",
    // so that Enter keeps stepping rather than closing the dialog.
    if (session_.previousEnabled)
        previous_->setEnabled(true);
    if (session_.nextEnabled)
        next_->setEnabled(true);
    if (!session_.nextEnabled && focusWidget() == next_)
        (session_.previousEnabled ? previous_ : search_)->setFocus();
    if (!session_.previousEnabled && focusWidget() == previous_)
        (session_.nextEnabled ? next_ : search_)->setFocus();
    previous_->setEnabled(session_.previousEnabled);
    next_->setEnabled(session_.nextEnabled);
    status_->setText(Tr(session_.status));
}

}  // namespace morvane
