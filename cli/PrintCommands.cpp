#include "cli/PrintCommands.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/FaceFit.h"
#include "cli/Messages.h"
#include "cli/PortraitRoad.h"
#include "imaging/ScaledLoad.h"
#include "printing/CalibrationStore.h"
#include "printing/EffectiveResolution.h"
#include "printing/PrintJobs.h"
#include "printing/PrintMessages.h"
#include "printing/PrintQueue.h"

#include <algorithm>
#include <utility>

namespace lumavo::cli {

namespace {

// A job at the size --size names, to the printer --printer names, else the
// system's default (empty when there is none; the print then says so), with
// that printer's correction for the size. A calibration file that cannot be
// read is said, and the print goes out uncorrected.
PrintRequest RequestFor(PrintQueue& queue, const Arguments& arguments)
{
    PrintRequest request;
    request.printer = arguments.printer.isEmpty() ? queue.DefaultPrinter() : arguments.printer;
    request.format = FindPrintFormat(arguments.printSize);
    CalibrationStore store;
    if (!store.Load())
        PrintWarning(QStringLiteral("无法读取打印校准文件“%1”，本次打印不做校准").arg(messages::Native(store.path())));
    request.calibration = store.Get(request.printer, arguments.printSize);
    return request;
}

// The queue's answer: one line on standard output when it took the job,
// an error line when nothing will come out of the printer.
int Reported(const PrintReport& report)
{
    const QString message = PrintReportMessage(report);
    // A held job was taken but will not print until someone releases it.
    if (!report.outcome.WillPrint()) {
        PrintError(message);
        return kExitFailure;
    }
    PrintOut(message);
    return kExitOk;
}

// The photo's pixels as the full-size road has them: the file's own size,
// its sides swapped by an odd number of quarter turns.
QSize PhotoPixels(const Arguments& arguments)
{
    QSize size = ReadPictureSize(arguments.photo);
    const auto turns = std::count_if(arguments.edits.begin(), arguments.edits.end(),
        [](PhotoEdit edit) { return edit == PhotoEdit::Left || edit == PhotoEdit::Right; });
    if (turns % 2 == 1)
        size.transpose();
    return size;
}

} // namespace

int RunPrint(const Arguments& arguments)
{
    const QString caption = CaptionOf(arguments);
    PreparedPortrait prepared = PreparePortrait(RequestFrom(arguments, arguments.photo, caption));
    if (!prepared.error.isEmpty()) {
        PrintError(prepared.error);
        return kExitFailure;
    }
    ReportFaceFit(arguments, prepared);
    // The portrait is finished once: its layers go into the picture.
    RenderResult rendered = prepared.portrait->RenderFinished(caption, Portrait::Layers::UseUp);
    if (!rendered.picture) {
        PrintError(
            messages::RenderFailed(prepared.templ.name, rendered.error.isEmpty() ? kOutputReadError : rendered.error));
        return kExitFailure;
    }
    const PhotoPlacement placement = prepared.portrait->Placement();
    // The photo's pixels are no longer needed once it is in the picture.
    prepared.portrait.reset();

    const std::unique_ptr<PrintQueue> queue = MakeSystemPrintQueue();
    PrintRequest request = RequestFor(*queue, arguments);
    request.fit = arguments.fill ? FitMode::Fill : FitMode::Whole;
    request.copies = arguments.copies;
    const PrintReport report = PrintFinishedPicture(*queue, rendered.picture->image(), request);

    if (report.outcome.TakenByQueue()) {
        // The road records the placement in the pixels of the background it rendered on.
        const QRect inPicture(placement.x, placement.y, placement.width, placement.height);
        const PrintResolution resolution = EffectiveResolution(report.placement, PhotoPixels(arguments), inPicture);
        if (resolution.photoTooLow)
            PrintWarning(QStringLiteral("相片分辨率偏低，打印可能不够清晰（%1 上约 %2 dpi）")
                             .arg(arguments.printSize)
                             .arg(qRound(resolution.photoDpi)));
    }
    return Reported(report);
}

int RunPrintTest(const Arguments& arguments)
{
    const std::unique_ptr<PrintQueue> queue = MakeSystemPrintQueue();
    PrintRequest request = RequestFor(*queue, arguments);
    request.title = QStringLiteral("打印校准 %1").arg(arguments.printSize);
    return Reported(PrintCalibrationSheet(*queue, request));
}

} // namespace lumavo::cli
