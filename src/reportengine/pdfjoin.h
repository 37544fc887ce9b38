#pragma once
#include <QByteArray>
#include <QVector>

// Joins PDF files, each a run of consecutive pages of one document, into one file with
// the pages in the order given: the first file's catalogue and document information
// stay, the pages of the others are copied after its own with what they use (fonts,
// images). The files are read and written by libqpdf; a file it cannot read cleanly is
// refused rather than patched.
namespace ReportEngine::PdfJoin {

// The joined file, or an empty array when a part cannot be read.
QByteArray join(const QVector<QByteArray>& parts);

}
