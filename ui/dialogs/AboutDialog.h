// The about box: the program's name and version, the home page link and the licence text.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace morvane {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // Shows the box modally.
    static void Show(QWidget* parent);

    // The licence text the box shows; empty only if the resource is missing from the build.
    static QString LicenceText();

    QLabel* versionLabel() const { return version_; }
    QLabel* linkLabel() const { return link_; }
    QPlainTextEdit* licenceView() const { return licence_; }

private:
    QLabel* version_ = nullptr;
    QLabel* link_ = nullptr;
    QPlainTextEdit* licence_ = nullptr;
};

}  // namespace morvane
