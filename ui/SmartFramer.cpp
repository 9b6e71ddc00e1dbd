#include "ui/SmartFramer.h"

#include "framing/SmartFraming.h"

#include <QThreadPool>

namespace lumavo {

CSmartFramer::CSmartFramer(QObject* parent)
    : QObject(parent)
    , m_pool(std::make_unique<QThreadPool>())
{
    // One search at a time: a finder serves one thread, and the search
    // itself spreads over both cores.
    m_pool->setMaxThreadCount(1);
}

CSmartFramer::~CSmartFramer()
{
    m_pool->clear();
    m_pool->waitForDone();
}

std::optional<CSmartFramer::Result> CSmartFramer::Known(const QImage& picture) const
{
    const auto found = m_results.constFind(picture.cacheKey());
    if (found == m_results.cend())
        return std::nullopt;
    return *found;
}

void CSmartFramer::Request(const QImage& picture)
{
    ++m_running;
    // The worker keeps its own reference: an edit of the window's picture
    // detaches from it, so the search reads a picture nobody changes.
    m_pool->start([this, picture] {
        Result result;
        result.subject = FindSubject(picture, picture.size(), &result.error);
        const qint64 key = picture.cacheKey();
        // Safe: the destructor waits for the search before this object goes.
        QMetaObject::invokeMethod(
            this,
            [this, key, result] {
                --m_running;
                m_results.insert(key, result);
                emit Searched(key);
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumavo
