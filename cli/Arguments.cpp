#include "cli/Arguments.h"

#include "printing/PrintFormats.h"

#include <QSet>

namespace lumavo::cli {

namespace {

// More copies than a studio prints of one portrait is a typing slip.
constexpr int32_t kMaxCopies = 99;

struct OptionSet {
    QSet<QString> allowed;
    QStringList required;
};

OptionSet OptionsOf(CommandKind command)
{
    const QSet<QString> placing { "--root", "--template", "--photo", "--edit", "--move", "--zoom", "--fit" };
    switch (command) {
    case CommandKind::Templates:
        return { { "--root" }, { "--root" } };
    case CommandKind::Place:
        return { placing, { "--root", "--template", "--photo" } };
    case CommandKind::Render:
        return { placing + QSet<QString> { "--out", "--quality", "--caption" },
            { "--root", "--template", "--photo", "--out" } };
    case CommandKind::Batch:
        return { { "--root", "--template", "--out-dir", "--quality", "--format", "--caption", "--edit", "--fit" },
            { "--root", "--template", "--out-dir" } };
    case CommandKind::Proof:
        return { { "--root", "--photo", "--out", "--quality", "--fit" }, { "--root", "--photo", "--out" } };
    case CommandKind::Print:
        return { placing + QSet<QString> { "--caption", "--size", "--printer", "--copies", "--fit" },
            { "--root", "--template", "--photo", "--size" } };
    case CommandKind::PrintTest:
        return { { "--size", "--printer" }, { "--size" } };
    case CommandKind::Help:
        break;
    }
    return {};
}

std::optional<CommandKind> CommandNamed(const QString& name)
{
    if (name == "templates")
        return CommandKind::Templates;
    if (name == "place")
        return CommandKind::Place;
    if (name == "render")
        return CommandKind::Render;
    if (name == "batch")
        return CommandKind::Batch;
    if (name == "proof")
        return CommandKind::Proof;
    if (name == "print")
        return CommandKind::Print;
    if (name == "print-test")
        return CommandKind::PrintTest;
    if (name == "help" || name == "--help" || name == "-h")
        return CommandKind::Help;
    return std::nullopt;
}

std::optional<int32_t> ParseInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int32_t>(value) : std::nullopt;
}

std::optional<PhotoEdit> EditNamed(const QString& name)
{
    const QString key = name.toLower();
    if (key == "left")
        return PhotoEdit::Left;
    if (key == "right")
        return PhotoEdit::Right;
    if (key == "hflip")
        return PhotoEdit::HorizontalFlip;
    if (key == "vflip")
        return PhotoEdit::VerticalFlip;
    if (key == "sepia")
        return PhotoEdit::Sepia;
    if (key == "bw")
        return PhotoEdit::BlackWhite;
    if (key == "smooth")
        return PhotoEdit::Smooth;
    return std::nullopt;
}

// "--edit": a named edit, or a keying click "key:X,Y[:TOL]".
QString TakeEdit(Arguments& args, const QString& value)
{
    if (value.startsWith(QLatin1String("key:"), Qt::CaseInsensitive)) {
        QString error;
        const std::optional<KeyClick> click = ParseKeyClick(value.mid(4), &error);
        if (!click)
            return error;
        args.edits.append(PhotoEdit::Key);
        args.keys.append(*click);
        return {};
    }
    const auto edit = EditNamed(value);
    if (!edit)
        return QStringLiteral(
            "未知的编辑操作“%1”（可用：left、right、hflip、vflip、sepia、bw、smooth、key:X,Y[:容差]）")
            .arg(value);
    args.edits.append(*edit);
    return {};
}

// The print sizes, for messages: "3R、4R、...、A4".
QString PrintSizeNames()
{
    QStringList names;
    for (const PrintFormat& format : kPrintFormats)
        names << FormatName(format);
    return names.join(QStringLiteral("、"));
}

// Applies one option's value; an error line when the value is not acceptable.
QString TakeOption(Arguments& args, const QString& name, const QString& value)
{
    if (name == "--root")
        args.root = value;
    else if (name == "--template")
        args.templateName = value;
    else if (name == "--photo")
        args.photo = value;
    else if (name == "--out")
        args.out = value;
    else if (name == "--out-dir")
        args.outDir = value;
    else if (name == "--caption")
        args.caption = value;
    else if (name == "--format") {
        if (ExtensionOfFormat(value).isEmpty())
            return QStringLiteral("未知的输出格式“%1”（可用：jpg、png、bmp、tif）").arg(value);
        args.format = value.toLower();
    } else if (name == "--quality") {
        const auto quality = ParseInt(value);
        if (!quality || *quality < 0 || *quality > 100)
            return QStringLiteral("JPEG 质量必须是 0 到 100 的整数，而不是“%1”").arg(value);
        args.quality = quality;
    } else if (name == "--size") {
        const PrintFormat* format = FindPrintFormat(value.trimmed());
        if (!format)
            return QStringLiteral("未知的打印尺寸“%1”（可用：%2）").arg(value, PrintSizeNames());
        args.printSize = FormatName(*format);
    } else if (name == "--printer") {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--printer 需要打印机名称");
        args.printer = value;
    } else if (name == "--copies") {
        const auto copies = ParseInt(value);
        if (!copies || *copies < 1 || *copies > kMaxCopies)
            return QStringLiteral("打印份数必须是 1 到 %1 的整数，而不是“%2”").arg(kMaxCopies).arg(value);
        args.copies = *copies;
    } else if (name == "--fit") {
        // face: the first placement frames the faces (every command that
        // places a photo); whole: the default; fill: a print fills its size.
        const QString key = value.trimmed().toLower();
        if (key == "face")
            args.fitFaces = true;
        else if (key == "fill" && args.command == CommandKind::Print)
            args.fill = true;
        else if (key != "whole" && args.command == CommandKind::Print)
            return QStringLiteral("--fit 只能是 whole（整张放入）、fill（裁满）或 face（按人脸构图），而不是“%1”")
                .arg(value);
        else if (key != "whole")
            return QStringLiteral("--fit 只能是 face（按人脸构图）或 whole（整张相片放入），而不是“%1”").arg(value);
    } else if (name == "--edit") {
        return TakeEdit(args, value);
    } else if (name == "--move") {
        const QStringList parts = value.split(',');
        const auto dx = parts.size() == 2 ? ParseInt(parts[0]) : std::nullopt;
        const auto dy = parts.size() == 2 ? ParseInt(parts[1]) : std::nullopt;
        if (!dx || !dy)
            return QStringLiteral("--move 需要 DX,DY 形式的两个整数（例如 5,0），而不是“%1”").arg(value);
        args.steps.append({ PlacementStep::Kind::Move, *dx, *dy, 0 });
    } else if (name == "--zoom") {
        const auto step = ParseInt(value);
        if (!step)
            return QStringLiteral("--zoom 需要一个整数步长（例如 5 或 -5），而不是“%1”").arg(value);
        args.steps.append({ PlacementStep::Kind::Zoom, 0, 0, *step });
    }
    return {};
}

bool IsRepeatable(const QString& name)
{
    // --fit twice for a print: the faces framed and its size filled.
    return name == "--edit" || name == "--move" || name == "--zoom" || name == "--fit";
}

ParsedArguments Failure(const QString& message)
{
    return { std::nullopt, message };
}

} // namespace

QString ExtensionOfFormat(const QString& format)
{
    const QString key = format.toLower();
    if (key == "jpg" || key == "png" || key == "bmp" || key == "tif")
        return "." + key;
    return {};
}

ParsedArguments ParseArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return Failure(QStringLiteral("缺少命令（templates、place、render、batch、proof、print 或 print-test）"));
    const auto command = CommandNamed(arguments.first());
    if (!command)
        return Failure(QStringLiteral("未知的命令“%1”").arg(arguments.first()));

    Arguments args;
    args.command = *command;
    if (*command == CommandKind::Help)
        return { args, {} };

    const OptionSet options = OptionsOf(*command);
    QSet<QString> given;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (optionsEnded || !word.startsWith("-") || word == "-") {
            if (*command != CommandKind::Batch)
                return Failure(QStringLiteral("多余的参数“%1”").arg(word));
            args.photos.append(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            args.command = CommandKind::Help;
            return { args, {} };
        }
        const qsizetype equals = word.indexOf('=');
        const QString name = equals > 0 ? word.left(equals) : word;
        if (!options.allowed.contains(name))
            return Failure(QStringLiteral("命令 %1 不接受选项“%2”").arg(arguments.first(), name));
        QString value;
        if (equals > 0) {
            value = word.mid(equals + 1);
        } else {
            // A following option means this one's value was left out (a
            // value that starts with "--" is given after "=").
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))
                return Failure(QStringLiteral("选项“%1”缺少取值").arg(name));
            value = arguments[++i];
        }
        if (given.contains(name) && !IsRepeatable(name))
            return Failure(QStringLiteral("选项“%1”只能给出一次").arg(name));
        given.insert(name);
        const QString error = TakeOption(args, name, value);
        if (!error.isEmpty())
            return Failure(error);
    }
    for (const QString& name : options.required) {
        if (!given.contains(name))
            return Failure(QStringLiteral("缺少必需的选项“%1”").arg(name));
    }
    if (*command == CommandKind::Batch && args.photos.isEmpty())
        return Failure(QStringLiteral("batch 至少需要一张相片"));
    return { args, {} };
}

QString UsageText()
{
    return QStringLiteral("用法：\n"
                          "  lumavo-cli templates --root 模板目录\n"
                          "  lumavo-cli place  --root 模板目录 --template 模板名 --photo 相片\n"
                          "                    [--edit 操作]... [--move DX,DY]... [--zoom 步长]... [--fit face]\n"
                          "  lumavo-cli render --root 模板目录 --template 模板名 --photo 相片 --out 输出文件\n"
                          "                    [--quality N] [--edit 操作]... [--move DX,DY]... [--zoom 步长]...\n"
                          "                    [--caption 文字] [--fit face]\n"
                          "  lumavo-cli batch  --root 模板目录 --template 模板名 --out-dir 输出目录\n"
                          "                    [--quality N] [--format jpg|png|bmp|tif] [--caption 文字] [--fit face]\n"
                          "                    [--edit 操作]... 相片...\n"
                          "  lumavo-cli proof  --root 模板目录 --photo 相片 --out 样张文件 [--fit face] [--quality N]\n"
                          "  lumavo-cli print  --root 模板目录 --template 模板名 --photo 相片 --size 尺寸\n"
                          "                    [--printer 打印机] [--copies N] [--fit whole|fill] [--fit face]\n"
                          "                    [--edit 操作]... [--move DX,DY]... [--zoom 步长]... [--caption 文字]\n"
                          "  lumavo-cli print-test --size 尺寸 [--printer 打印机]\n"
                          "  lumavo-cli --help\n"
                          "\n"
                          "templates  每个可用的模板一行：名称 背景宽 背景高 开口左 上 右 下；\n"
                          "           有问题的模板在标准错误中逐个说明原因，没有一个可用时失败\n"
                          "place      输出最终放置位置：x y 宽 高\n"
                          "render     输出成品图片（350 dpi，带说明文字）；文件类型由扩展名决定（jpg、png、bmp、tif）\n"
                          "batch      每张相片按初始位置输出到输出目录（相片名 + 格式扩展名，缺省 jpg）\n"
                          "proof      把一张相片放进模板目录中的每个模板，输出一张样张，每个模板名写在它的图下\n"
                          "print      与 render 相同的成品相片，按所选尺寸打印到打印机，套用该打印机和尺寸的校准；\n"
                          "           标准输出一行说明打印队列是否接收了作业\n"
                          "print-test 打印所选尺寸的校准测试页（边框、毫米标尺、中心十字），套用现有校准\n"
                          "\n"
                          "--edit     按给出的顺序编辑相片：left 左转90度，right 右转90度，hflip 水平翻转，\n"
                          "           vflip 重直翻转，sepia 怀旧风格，bw 黑白风格，smooth 全自动皮肤美容，\n"
                          "           key:X,Y[:容差] 半自动抠像：从相片上的点 X,Y 去掉与它相连的背景\n"
                          "           （X,Y 为像素，或相片宽高的百分比如 key:2%,2%，同一批相片背景位置相同时适用；\n"
                          "           容差 0-100，缺省 50，越大去掉的颜色越多）\n"
                          "--move     把相片移动 DX,DY 像素；--zoom 把相片左右各放大 步长 像素（负数缩小）；\n"
                          "           两者按命令行上的顺序执行\n"
                          "--fit      face：按人脸构图（人脸居中，眼睛在开口高度的 40% 处，人脸高度见 setting.ini 的\n"
                          "           FaceShare），没有找到人脸时按整张相片放入；whole：整张相片放入（缺省）\n"
                          "--quality  JPEG 质量 0-100，缺省取程序目录下 setting.ini 的 Quality（没有时为 90）\n"
                          "--caption  说明文字，缺省取 setting.ini 的 Caption（没有时为内置文字）\n"
                          "--size     打印尺寸：3R、4R、5R、6R、8R、A6、A5、A4\n"
                          "--printer  打印机名称，缺省为系统的默认打印机；--copies 打印份数 1-99，缺省 1\n"
                          "--fit      比例与尺寸不同时：whole 整张放入，两边均匀留白（缺省）；fill 裁满，两边均匀裁去\n"
                          "\n"
                          "退出码：0 成功；1 失败（模板、相片或输出文件出错，batch 中任一相片失败，\n"
                          "        打印机找不到、已停止、不接受或未完成作业）；2 参数错误\n");
}

} // namespace lumavo::cli
