#include "ui/FileListDates.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace lumavo {

namespace {

constexpr int kDateColumn = 3;

class ChineseDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == kDateColumn) {
            if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel())) {
                const QDateTime modified = files->lastModified(mapToSource(index));
                if (modified.isValid())
                    return QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat);
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void ShowChineseDates(QFileDialog* dialog)
{
    dialog->setProxyModel(new ChineseDates(dialog));
}

} // namespace lumavo
