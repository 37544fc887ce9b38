#include "reportengine/pdfjoin.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <memory>
#include <vector>

namespace ReportEngine::PdfJoin {
namespace {

// One part read from memory (kept by the caller until the joined file is written). A
// part that needs repair is a fault of its writer: it is refused, not mended.
std::unique_ptr<QPDF> read(const QByteArray& part, int number)
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->setAttemptRecovery(false);
    const std::string name = "part " + std::to_string(number);
    pdf->processMemoryFile(name.c_str(), part.constData(), size_t(part.size()));
    // Every page is read now, so that a damaged part fails here and not half-way
    // through the copy.
    QPDFPageDocumentHelper(*pdf).getAllPages();
    if (pdf->anyWarnings())
        return nullptr;
    return pdf;
}

}

QByteArray join(const QVector<QByteArray>& parts)
{
    if (parts.isEmpty())
        return {};
    try {
        std::vector<std::unique_ptr<QPDF>> pdfs;
        for (int i = 0; i < parts.size(); ++i) {
            pdfs.push_back(read(parts[i], i + 1));
            if (!pdfs.back())
                return {};
        }
        if (pdfs.size() == 1)
            return parts.first();
        QPDFPageDocumentHelper pages(*pdfs.front());
        for (size_t i = 1; i < pdfs.size(); ++i)
            for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*pdfs[i]).getAllPages())
                pages.addPage(page, false);
        QPDFWriter writer(*pdfs.front());
        writer.setOutputMemory();
        // The parts' streams are compressed already: copied as they are, not again.
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.write();
        const std::unique_ptr<Buffer> joined(writer.getBuffer());
        if (pdfs.front()->anyWarnings())
            return {};
        return QByteArray(reinterpret_cast<const char*>(joined->getBuffer()), qsizetype(joined->getSize()));
    } catch (const std::exception&) {
        return {};
    }
}

}
