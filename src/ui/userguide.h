#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// The user's guide as HTML pages: the one the package installed under
// /usr/share/doc/tabel/user/, or, run from a build folder, the one the build made from
// docs/user/. Opened in the desktop's browser.
namespace UserGuide {

// The guide's first page in each place it may be, in the order they are tried.
QStringList places();
// The first of them that exists; empty when there is none.
QString find();
// Opens the guide; tells the user, in Russian, when there is none or nothing shows it.
void open();

// Shows a page for the user; answers false when nothing could. Tests install their own
// so that no browser is started.
using Viewer = std::function<bool(const QUrl& url)>;
void setViewer(Viewer viewer);   // an empty one restores the desktop's
// Tests look for the guide in places of their own (an empty list restores the usual ones).
void setPlaces(const QStringList& places);

}
