#pragma once
#include <QByteArray>
#include <QVector>

// Joins PDF files that QPdfWriter wrote, each a run of consecutive pages of one document,
// into one file with the pages in the order given: the first file's catalogue, page
// tree and document information stay; the objects of the others are numbered on after
// it and their pages hung into the first page tree. Only the classic cross-reference
// table that QPdfWriter writes is read; anything else is refused.
namespace ReportEngine::PdfJoin {

// The joined file, or an empty array when a part cannot be read.
QByteArray join(const QVector<QByteArray>& parts);

}
