#include "printing/PaperPreselection.h"

#include "printing/PageGeometry.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace lumavo {

bool PreselectPaper(QPrinter& printer, const PrintFormat& format)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer.printerName());
    for (const QPageSize& size : info.supportedPageSizes()) {
        const Paper paper { size.key(), size.size(QPageSize::Millimeter), {} };
        if (!PaperHasFormat(paper, format))
            continue;
        printer.setPageSize(size);
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setFullPage(true);
        return true;
    }
    return false;
}

} // namespace lumavo
