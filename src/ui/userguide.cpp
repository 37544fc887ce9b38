#include "ui/userguide.h"

#include "ui/messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#ifndef TABEL_BUILD_DOC_DIR
#define TABEL_BUILD_DOC_DIR ""
#endif
#ifndef TABEL_INSTALLED_DOC_DIR
#define TABEL_INSTALLED_DOC_DIR "/usr/share/doc/tabel"
#endif

namespace UserGuide {

namespace {

const QString kFirstPage = QStringLiteral("user/index.html");
const QString kCaption = QStringLiteral("Справка");

bool openWithDesktop(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

Viewer& currentViewer()
{
    static Viewer viewer = openWithDesktop;
    return viewer;
}

QStringList& placesOverride()
{
    static QStringList list;
    return list;
}

}

QStringList places()
{
    if (!placesOverride().isEmpty())
        return placesOverride();
    // Beside the program first, so that a build run on a machine with the package
    // installed shows its own guide, not the installed one of another version.
    const QString bin = QCoreApplication::applicationDirPath();
    QStringList roots{bin + QStringLiteral("/doc"), bin + QStringLiteral("/../share/doc/tabel")};
    if (!QStringLiteral(TABEL_BUILD_DOC_DIR).isEmpty())
        roots << QStringLiteral(TABEL_BUILD_DOC_DIR);
    roots << QStringLiteral(TABEL_INSTALLED_DOC_DIR);
    QStringList pages;
    for (const QString& root : roots) {
        const QString page = QDir::cleanPath(QDir(root).filePath(kFirstPage));
        if (!pages.contains(page))
            pages << page;
    }
    return pages;
}

QString find()
{
    for (const QString& page : places())
        if (QFileInfo(page).isFile())
            return page;
    return {};
}

void open()
{
    const QString page = find();
    if (page.isEmpty()) {
        Messages::warning(QStringLiteral("Руководство пользователя не найдено: нет файла %1.\n"
                                         "Руководство устанавливается вместе с программой (пакет tabel); "
                                         "обратитесь к администратору.")
                              .arg(QDir::toNativeSeparators(QStringLiteral(TABEL_INSTALLED_DOC_DIR "/") + kFirstPage)),
                          kCaption);
        return;
    }
    if (!currentViewer()(QUrl::fromLocalFile(page)))
        Messages::warning(QStringLiteral("Не удалось открыть руководство пользователя: на компьютере нет программы "
                                         "для просмотра страниц HTML.\nРуководство находится в файле %1")
                              .arg(QDir::toNativeSeparators(page)),
                          kCaption);
}

void setViewer(Viewer viewer)
{
    currentViewer() = viewer ? std::move(viewer) : Viewer(openWithDesktop);
}

void setPlaces(const QStringList& list)
{
    placesOverride() = list;
}

}
