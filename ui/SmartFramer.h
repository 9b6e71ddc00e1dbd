#pragma once

#include "templates/FaceFraming.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QThreadPool;

namespace lumavo {

// Looks for the faces of the layout window's photo on a worker thread, so
// that a 24 MP photo does not hold up the window, and keeps what it found
// for each picture (by QImage::cacheKey, which changes with every edit).
class CSmartFramer : public QObject {
    Q_OBJECT
public:
    explicit CSmartFramer(QObject* parent = nullptr);
    // Waits for a search still running.
    ~CSmartFramer() override;

    struct Result {
        std::optional<FramingSubject> subject; // in the picture's pixels; none: no face
        QString error; // the detectors are missing
    };

    // What an earlier search found on this picture.
    std::optional<Result> Known(const QImage& picture) const;
    // Starts a search on the picture (one at a time: a request while one
    // runs is done after it). Searched emits with the picture's key.
    void Request(const QImage& picture);
    bool IsSearching() const { return m_running > 0; }

signals:
    void Searched(qint64 pictureKey);

private:
    std::unique_ptr<QThreadPool> m_pool;
    QHash<qint64, Result> m_results;
    int m_running = 0;
};

} // namespace lumavo
