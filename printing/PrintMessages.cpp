#include "printing/PrintMessages.h"

namespace lumavo {

namespace {

QString WithDetail(const QString& text, const QString& detail)
{
    return detail.isEmpty() ? text : QStringLiteral("%1（%2）").arg(text, detail);
}

} // namespace

QString PrintReportMessage(const PrintReport& report)
{
    const PrintOutcome& outcome = report.outcome;
    const QString printer = QStringLiteral("“%1”").arg(report.printer);
    QString text;
    switch (outcome.result) {
    case PrintResult::Printed:
        text = outcome.jobId > 0 ? QStringLiteral("打印完成：打印机%1（作业号 %2）").arg(printer).arg(outcome.jobId)
                                 : QStringLiteral("打印完成：打印机%1").arg(printer);
        break;
    case PrintResult::Queued:
        text = outcome.jobId > 0 ? QStringLiteral("打印机%1已接收打印作业（作业号 %2）").arg(printer).arg(outcome.jobId)
                                 : QStringLiteral("已送到打印机%1").arg(printer);
        break;
    case PrintResult::Held:
        text = WithDetail(QStringLiteral("打印机%1已接收打印作业，但作业暂停未打印").arg(printer), outcome.detail);
        break;
    case PrintResult::Refused:
        switch (outcome.problem) {
        case PrintProblem::NoPrinter:
            if (report.printer.isEmpty())
                return QStringLiteral("打印失败：没有设置默认打印机，请先选择打印机");
            return QStringLiteral("打印失败：找不到打印机%1").arg(printer);
        case PrintProblem::PrinterStopped:
            return WithDetail(QStringLiteral("打印失败：打印机%1已停止").arg(printer), outcome.detail);
        case PrintProblem::NotAcceptingJobs:
            return WithDetail(QStringLiteral("打印失败：打印机%1不接受打印作业").arg(printer), outcome.detail);
        default:
            return WithDetail(QStringLiteral("打印失败：打印机%1未能完成打印作业").arg(printer), outcome.detail);
        }
    case PrintResult::NotStarted:
        switch (outcome.problem) {
        case PrintProblem::NoPrintService:
            return QStringLiteral("打印失败：无法连接打印服务，请检查打印机设置");
        case PrintProblem::BadRequest:
            return QStringLiteral("打印失败：没有可打印的图片或份数");
        case PrintProblem::DrawingFailed:
            return QStringLiteral("打印失败：无法生成打印页面，可能内存不足");
        default:
            return WithDetail(QStringLiteral("打印失败：无法把作业送到打印机%1").arg(printer), outcome.detail);
        }
    }
    if (report.placement.reduced)
        text += QStringLiteral("。纸张小于所选尺寸，已缩小打印");
    return text;
}

} // namespace lumavo
