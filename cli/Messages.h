#pragma once

#include "cli/EditOptions.h"
#include "imaging/PhotoImage.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QString>

namespace lumavo::cli {

// The command's error texts, one line each, naming the file or template concerned.
namespace messages {

inline QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

inline QString TemplateRootMissing(const QString& root)
{
    return QStringLiteral("找不到模板目录“%1”").arg(Native(root));
}

inline QString TemplateNameRefused(const QString& name)
{
    return QStringLiteral("模板名“%1”无效：不能为空，也不能含有“/”“\\”或是“.”“..”").arg(name);
}

inline QString TemplateMissing(const QString& name, const QString& folder)
{
    return QStringLiteral("找不到模板“%1”（%2）（图库错误，请重装）").arg(name, Native(folder));
}

// libraryMessage is the template loader's own text.
inline QString TemplatePictureFailed(const QString& name, const QString& file, const QString& libraryMessage)
{
    return QStringLiteral("模板“%1”的图片“%2”无法读取（%3）").arg(name, Native(file), libraryMessage);
}

// renderMessage is the finished picture's own text for an unreadable template.
inline QString TemplatePictureUnreadableForOutput(
    const QString& renderMessage, const QString& name, const QString& file)
{
    return QStringLiteral("%1（模板“%2”的图片“%3”无法读取）").arg(renderMessage, name, Native(file));
}

inline QString TemplatePictureTooLarge(const QString& name, const QString& file)
{
    return QStringLiteral("模板“%1”的图片“%2”太大，超出可处理的大小（图库错误，请重装）").arg(name, Native(file));
}

inline QString TemplateBackgroundUnreadable(const QString& name, const QString& file)
{
    return QStringLiteral("模板“%1”的背景图片“%2”无法读取（图库错误，请重装）").arg(name, Native(file));
}

// Why a template's opening cannot be used, for an opening that is not usable().
inline QString OpeningUnusable(const QString& name, const QString& file, const LayerReading& layer)
{
    QString reason;
    switch (layer.state) {
    case ProfileFileState::Missing:
        reason = QStringLiteral("不存在");
        break;
    case ProfileFileState::NotAFile:
        reason = QStringLiteral("不是普通文件");
        break;
    case ProfileFileState::TooLarge:
        reason = QStringLiteral("太大（超过 1 MB）");
        break;
    case ProfileFileState::Unreadable:
        reason = QStringLiteral("无法读取");
        break;
    case ProfileFileState::Read:
        reason = QStringLiteral("没有给出开口（[layer] 的 width 和 height 都须大于 0）");
        break;
    }
    return QStringLiteral("模板“%1”的开口文件“%2”%3（图库错误，请重装）").arg(name, Native(file), reason);
}

inline QString NoUsableTemplates(const QString& root)
{
    return QStringLiteral("模板目录“%1”中没有可用的模板").arg(Native(root));
}

inline QString RenderFailed(const QString& name, const QString& renderMessage)
{
    return QStringLiteral("%1（模板“%2”）").arg(renderMessage, name);
}

inline QString PhotoMissing(const QString& path)
{
    return QStringLiteral("找不到相片文件“%1”").arg(Native(path));
}

inline QString PhotoUnreadable(const QString& path, Status status)
{
    if (status == OutOfMemory)
        return QStringLiteral("相片“%1”太大，内存不足以读取").arg(Native(path));
    return QStringLiteral("无法读取相片“%1”：文件已损坏或不是支持的图片格式（状态 %2）")
        .arg(Native(path))
        .arg(int(status));
}

inline QString EditFailed(const QString& path, const QString& editName, Status status)
{
    return QStringLiteral("无法对相片“%1”执行“%2”（状态 %3）").arg(Native(path), editName).arg(int(status));
}

inline QString KeyClickOutside(const QString& path, const KeyClick& click, QSize photoSize)
{
    return QStringLiteral("抠像点 %1,%2 不在相片“%3”上（相片 %4 x %5 像素；可用百分比，如 key:2%,2%）")
        .arg(click.x.value)
        .arg(click.y.value)
        .arg(Native(path))
        .arg(photoSize.width())
        .arg(photoSize.height());
}

inline QString OutputTypeUnknown(const QString& path)
{
    return QStringLiteral("不支持的输出文件类型“%1”（可用扩展名：jpg、jpeg、png、bmp、tif）").arg(Native(path));
}

inline QString OutputIsPhoto(const QString& path)
{
    return QStringLiteral("输出文件“%1”就是相片本身，不能覆盖").arg(Native(path));
}

inline QString OutputIsBatchPhoto(const QString& path, const QString& photo)
{
    return QStringLiteral("输出文件“%1”是本批的相片“%2”，不能覆盖").arg(Native(path), Native(photo));
}

inline QString OutputWriteFailed(const QString& path, Status status)
{
    return QStringLiteral("无法写入输出文件“%1”（状态 %2）").arg(Native(path)).arg(int(status));
}

inline QString OutputDirFailed(const QString& dir)
{
    return QStringLiteral("无法创建输出目录“%1”").arg(Native(dir));
}

inline QString OutOfMemory()
{
    return QStringLiteral("内存不足，无法完成，请关闭其他程序后再试");
}

inline QString OutputCollision(const QString& path, const QString& earlierPhoto)
{
    return QStringLiteral("输出文件“%1”已被前面的相片“%2”占用，跳过").arg(Native(path), Native(earlierPhoto));
}

} // namespace messages
} // namespace lumavo::cli
