#include "ui/dialogs/AddItemDialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "book/Queries.h"
#include "book/Records.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/StatusPanes.h"
#include "ui/skin/Artwork.h"

namespace morvane {

namespace {

const QColor kHintText(160, 160, 160);
const QColor kTakenBase(255, 0, 0);

QRadioButton* KindButton(const QString& text, ItemKind kind, const char* name, QWidget* parent)
{
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(skin::KindIcon(KindCode(kind)));
    return button;
}

// Keys that move the focus or close the dialog rather than edit the name.
bool EditsName(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Escape: case Qt::Key_Return: case Qt::Key_Enter:
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Alt: case Qt::Key_Meta: case Qt::Key_AltGr:
        return false;
    default:
        return true;
    }
}

}  // namespace

AddItemDialog::AddItemDialog(KeyTree& tree, QWidget* parent) : QDialog(parent), tree_(tree)
{
    setObjectName(QStringLiteral("addItemDialog"));
    setWindowTitle(tr("添加项目"));

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("addName"));
    name_->setAccessibleName(tr("名称"));
    name_->installEventFilter(this);
    directory_ = KindButton(tr("目录"), ItemKind::Directory, "addDirectory", this);
    key_ = KindButton(tr("钥匙"), ItemKind::Key, "addKey", this);
    lock_ = KindButton(tr("锁"), ItemKind::Lock, "addLock", this);
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(directory_, static_cast<int>(kMaskDirectory));
    kinds->addButton(key_, static_cast<int>(kMaskKey));
    kinds->addButton(lock_, static_cast<int>(kMaskLock));
    ok_ = new QPushButton(tr("确定"), this);
    ok_->setObjectName(QStringLiteral("addOk"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("取消"), this);
    cancel_->setObjectName(QStringLiteral("addCancel"));

    auto* row = new QHBoxLayout;
    row->addWidget(directory_);
    row->addWidget(key_);
    row->addWidget(lock_);
    row->addStretch(1);
    row->addWidget(ok_);
    row->addWidget(cancel_);
    auto* content = new QVBoxLayout;
    const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    content->setContentsMargins(margin, margin, margin, margin);
    content->addWidget(name_);
    content->addLayout(row);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(content);
    outer->addWidget(MakeStatusPanes(this, status_));
    outer->setSizeConstraint(QLayout::SetMinimumSize);
    setMinimumWidth(fontMetrics().averageCharWidth() * 50);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        form_.SetName(tree_, ToGbk(text));
        Sync();
    });
    connect(kinds, &QButtonGroup::idClicked, this, [this](int mask) {
        form_.ChooseKind(tree_, static_cast<unsigned>(mask));
        Sync();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    Sync();
    // The field starts with the focus and the grey hint. The hint goes once the user clicks
    // or types into the field (see eventFilter), not when it merely receives the focus: the
    // dialog hands the focus to its first field when it shows, which would clear the hint
    // before anyone saw it.
    name_->setFocus(Qt::OtherFocusReason);
}

Node AddItemDialog::Run(KeyTree& tree, QWidget* parent)
{
    AddItemDialog dialog(tree, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.added() : Node{};
}

QRadioButton* AddItemDialog::kindButton(unsigned mask) const
{
    switch (mask) {
    case kMaskDirectory: return directory_;
    case kMaskKey: return key_;
    case kMaskLock: return lock_;
    default: return nullptr;
    }
}

void AddItemDialog::accept()
{
    added_ = form_.Accept(tree_);
    if (added_)
        QDialog::accept();
    else
        Sync();
}

bool AddItemDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == name_ && !form_.typingStarted) {
        switch (event->type()) {
        case QEvent::FocusIn: {
            // The field would select its text on a keyboard focus, and the grey hint would
            // not show under the selection: it takes the focus plainly instead.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                reason == Qt::ShortcutFocusReason) {
                QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);
                QCoreApplication::sendEvent(name_, &plain);
                return true;
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::Drop:
            StartTyping();
            break;
        case QEvent::KeyPress:
            if (EditsName(*static_cast<QKeyEvent*>(event)))
                StartTyping();
            break;
        case QEvent::InputMethod: {
            // Chinese names mostly arrive through an input method, not as key presses.
            const auto* input = static_cast<QInputMethodEvent*>(event);
            if (!input->commitString().isEmpty() || !input->preeditString().isEmpty())
                StartTyping();
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AddItemDialog::StartTyping()
{
    form_.FocusName(tree_);
    Sync();
}

void AddItemDialog::Sync()
{
    const QString name = Tr(form_.ShownName());
    if (name_->text() != name)
        name_->setText(name);

    // Only the roles set here are overridden; an empty palette gives the field back its own.
    QPalette look;
    switch (form_.Look()) {
    case AddItemForm::FieldLook::Hint:
        look.setColor(QPalette::Text, kHintText);
        break;
    case AddItemForm::FieldLook::Taken:
        look.setColor(QPalette::Base, kTakenBase);
        look.setColor(QPalette::Text, Qt::white);
        break;
    case AddItemForm::FieldLook::Normal:
        break;
    }
    name_->setPalette(look);

    for (unsigned mask : {kMaskDirectory, kMaskKey, kMaskLock}) {
        QRadioButton* button = kindButton(mask);
        const QSignalBlocker quiet(button);
        button->setChecked(form_.kindMask == mask);
    }
    ok_->setEnabled(form_.okEnabled);
    status_->setText(Tr(form_.status));
}

}  // namespace morvane
