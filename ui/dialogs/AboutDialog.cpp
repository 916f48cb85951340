#include "ui/dialogs/AboutDialog.h"

#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

// The library is static: nothing would pull the compiled licence resource into the program
// without this call, which has to stand outside any namespace.
static void InitAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace morvane {

QString AboutDialog::LicenceText()
{
    InitAboutResources();
    QFile file(QStringLiteral(":/about/LICENSE"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("Morvane"));

    version_ = new QLabel(QStringLiteral("Morvane Version " MORVANE_VERSION), this);
    version_->setObjectName(QStringLiteral("aboutVersion"));
    QFont heading = version_->font();
    heading.setBold(true);
    version_->setFont(heading);
    const QString home = QStringLiteral(MORVANE_HOME_PAGE);
    link_ = new QLabel(this);
    link_->setObjectName(QStringLiteral("aboutLink"));
    link_->setTextFormat(Qt::RichText);
    link_->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(home.toHtmlEscaped(), home.toHtmlEscaped()));
    link_->setOpenExternalLinks(true);
    link_->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // Read-only: the text is there to be read and copied, not changed.
    licence_ = new QPlainTextEdit(this);
    licence_->setAccessibleName(QStringLiteral("MIT License"));
    licence_->setObjectName(QStringLiteral("aboutLicence"));
    licence_->setReadOnly(true);
    licence_->setLineWrapMode(QPlainTextEdit::NoWrap);
    licence_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    licence_->setPlainText(LicenceText());
    // Lines of up to 80 characters fit across; the height follows the window.
    const QFontMetrics metrics(licence_->font());
    const int frame = 2 * licence_->frameWidth() + 2 * static_cast<int>(licence_->document()->documentMargin());
    licence_->setMinimumSize(metrics.horizontalAdvance(QString(81, QLatin1Char('M'))) + frame +
                                 style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                             metrics.lineSpacing() * 12 + frame);
    const int licenceHeight = metrics.lineSpacing() * (licence_->document()->blockCount() + 1) + frame;

    auto* layout = new QGridLayout(this);
    layout->addWidget(version_, 0, 0);
    layout->addWidget(link_, 1, 0);
    layout->addWidget(ok, 0, 1, Qt::AlignRight | Qt::AlignTop);
    layout->addWidget(licence_, 2, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(2, 1);
    // Tall enough to show the whole licence, where the screen allows.
    int height = sizeHint().height() - licence_->minimumHeight() + licenceHeight;
    if (const QScreen* screen = this->screen())
        height = std::min(height, screen->availableGeometry().height() * 4 / 5);
    resize(sizeHint().width(), std::max(height, sizeHint().height()));
}

void AboutDialog::Show(QWidget* parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace morvane
