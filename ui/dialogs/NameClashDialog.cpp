#include "ui/dialogs/NameClashDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/skin/Artwork.h"

namespace morvane {

NameClashDialog::NameClashDialog(const QString& text, int kind, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("nameClashDialog"));
    setWindowTitle(tr("重名警告!"));

    // The icon stands in front of the text's first line, a little larger than its letters.
    const int side = std::max(18, fontMetrics().height() * 3 / 2);
    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("clashIcon"));
    icon_->setFixedSize(side, side);
    icon_->setPixmap(skin::KindIcon(kind).pixmap(QSize(side, side), devicePixelRatioF()));
    text_ = new QLabel(text, this);
    text_->setObjectName(QStringLiteral("clashText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setMinimumWidth(fontMetrics().averageCharWidth() * 36);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("clashOk"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* message = new QHBoxLayout;
    message->addWidget(icon_, 0, Qt::AlignTop);
    message->addWidget(text_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace morvane
