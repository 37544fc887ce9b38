#pragma once
#include "reportengine/document.h"

#include <QImage>
#include <QString>
#include <functional>

class QPainter;
class QPrinter;

namespace ReportEngine {

// Paints one page with the paper's top-left corner at the painter's origin, converting
// millimetres with the resolution of the painter's device (never scaling the painter, so
// fonts keep their point sizes): a widget image, a QPrinter, a QPdfWriter.
void paintPage(QPainter& painter, const Document& document, int page);

// The page as an image at the given resolution (preview).
QImage pageImage(const Document& document, int page, double dotsPerMm);

// Told before each page is painted (page from 0, of count); returning false stops.
using Progress = std::function<bool(int page, int count)>;

// Writes every page into a PDF file; false when the file cannot be written or the
// progress stopped it (the unfinished file is removed).
bool writePdf(const Document& document, const QString& path, const Progress& progress = {});

// Prints the pages the printer's range selects (all when none); false when the
// printer cannot be started or the progress stopped it (the printer job is aborted).
bool print(const Document& document, QPrinter& printer, const Progress& progress = {});

}
