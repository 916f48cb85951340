// Morvane: the key book window. Start-up asks for the login password (on the first start,
// has the user choose one), reopens the last book and the seed file; the window's close
// sequence saves and writes them back.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/RunFile.h"
#include "platform/Hardening.h"
#include "ui/common/Language.h"
#include "ui/common/Preferences.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QtDesktop.h"
#include "ui/skin/Artwork.h"
#include "ui/skin/Fonts.h"

int main(int argc, char** argv)
{
    // Before anything else: a crash must not leave passwords or keys behind in a core file.
    (void)morvane::DisableCoreDumps();
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fputs("morvane: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it on a desktop.\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("morvane"));
    QApplication::setWindowIcon(morvane::skin::AppIcon());
    // Chinese is the program's own language; English comes from its translation, looked up
    // beside the executable in the build tree and in the installed tree. Without it the window
    // stays Chinese. Qt's own dialogs (file choosers) follow where Qt has a translation.
    const char* env = std::getenv("MORVANE_LANG");
    const QStringList uiLanguages = QLocale::system().uiLanguages();
    const morvane::Language language =
        morvane::ChooseLanguage(env ? env : "", morvane::LoadPreferences().language,
                                uiLanguages.isEmpty() ? std::string() : uiLanguages.front().toStdString());
    QTranslator ownTexts;
    bool english = false;
    if (language == morvane::Language::English) {
        const QString exeDir = QApplication::applicationDirPath();
        for (const QString& dir : {exeDir + QStringLiteral("/translations"),
                                   exeDir + QStringLiteral("/../share/morvane/translations")}) {
            if (ownTexts.load(QStringLiteral("morvane_en"), QDir::cleanPath(dir))) {
                english = QApplication::installTranslator(&ownTexts);
                break;
            }
        }
    }
    QTranslator qtTexts;
    if (!english && qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    morvane::skin::ApplyStandardFamilies();

    morvane::QtDesktop desktop;
    morvane::KeyTree tree(&desktop);
    morvane::MainWindow window(tree, desktop);
    desktop.Attach(&window);

    // A failed or cancelled login ends here, with nothing written.
    if (!morvane::StartUp(tree)) {
        morvane::RemoveItems(tree, morvane::Node{});
        return 1;
    }
    window.Start();
    window.show();
    return app.exec();
}
